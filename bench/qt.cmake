# The bare Qt timer and the publishing-only program that scripts/test-extras/cpu.sh
# measures the program against (not Google Benchmarks: they run until stopped).
if(TAVELIN_HAVE_QT)
  add_executable(bare_qt_timer ${CMAKE_SOURCE_DIR}/bench/bare_qt_timer.cpp)
  target_link_libraries(bare_qt_timer PRIVATE Qt6::Widgets)
  tavelin_warnings(bare_qt_timer)
  if(TARGET tavelin_devices)
    add_executable(publish_only ${CMAKE_SOURCE_DIR}/bench/publish_only.cpp)
    target_link_libraries(publish_only PRIVATE tavelin_devices Qt6::Widgets)
    tavelin_warnings(publish_only)
  endif()
endif()
# Counts every allocation of a process it is preloaded into (cpu.sh: the real
# window's allocations per tick). glibc only: it forwards to glibc's own allocator.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  add_library(tavelin_malloc_count SHARED ${CMAKE_SOURCE_DIR}/bench/malloc_count.cpp)
  tavelin_warnings(tavelin_malloc_count)
endif()
