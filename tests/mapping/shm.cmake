# The block attachment: one process, and several at once (on Linux also
# killed attachers, foreign objects and held locks).
set(shm_test_sources
  ${CMAKE_SOURCE_DIR}/tests/mapping/shm_block_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/mapping/shm_stress_test.cpp)
if(NOT WIN32)
  list(APPEND shm_test_sources ${CMAKE_SOURCE_DIR}/tests/mapping/shm_survival_test.cpp)
endif()
tavelin_add_test(shm_test
  SOURCES
    ${shm_test_sources}
    ${tavelin_test_os_helpers}
  LIBS tavelin_shm)
