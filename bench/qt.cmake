# The bare Qt timer that scripts/test-extras/cpu.sh measures the program against
# (not a Google Benchmark: it runs until it is stopped).
if(TAVELIN_HAVE_QT)
  add_executable(bare_qt_timer ${CMAKE_SOURCE_DIR}/bench/bare_qt_timer.cpp)
  target_link_libraries(bare_qt_timer PRIVATE Qt6::Widgets)
  tavelin_warnings(bare_qt_timer)
endif()
