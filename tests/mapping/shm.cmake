# The block attachment: one process, and several at once.
tavelin_add_test(shm_test
  SOURCES
    ${CMAKE_SOURCE_DIR}/tests/mapping/shm_block_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/mapping/shm_stress_test.cpp
    ${tavelin_test_os_helpers}
  LIBS tavelin_shm)
