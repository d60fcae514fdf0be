# The block attachment: one process, and several at once.
if(WIN32)
  set(tavelin_shm_os_helpers ${CMAKE_SOURCE_DIR}/tests/mapping/shm_os_helpers_win32.cpp)
else()
  set(tavelin_shm_os_helpers ${CMAKE_SOURCE_DIR}/tests/mapping/shm_os_helpers_posix.cpp)
endif()

tavelin_add_test(shm_test
  SOURCES
    ${CMAKE_SOURCE_DIR}/tests/mapping/shm_block_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/mapping/shm_stress_test.cpp
    ${tavelin_shm_os_helpers}
  LIBS tavelin_shm)
