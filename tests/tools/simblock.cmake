# simblock run as a program against blocks the test writes.
if(WIN32)
  set(tavelin_simblock_os_helpers ${CMAKE_SOURCE_DIR}/tests/mapping/shm_os_helpers_win32.cpp)
else()
  set(tavelin_simblock_os_helpers ${CMAKE_SOURCE_DIR}/tests/mapping/shm_os_helpers_posix.cpp)
endif()

tavelin_add_test(simblock_test
  SOURCES
    ${CMAKE_SOURCE_DIR}/tests/tools/simblock_test.cpp
    ${tavelin_simblock_os_helpers}
  LIBS tavelin_shm)
add_dependencies(simblock_test simblock)
