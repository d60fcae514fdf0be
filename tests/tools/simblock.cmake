# simblock run as a program against blocks the test writes.
tavelin_add_test(simblock_test
  SOURCES
    ${CMAKE_SOURCE_DIR}/tests/tools/simblock_test.cpp
    ${tavelin_test_os_helpers}
  LIBS tavelin_shm)
add_dependencies(simblock_test simblock)
