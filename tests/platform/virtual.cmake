# The virtual joystick backend (both platforms).
if(WIN32)
  set(tavelin_virtual_os_helpers ${CMAKE_SOURCE_DIR}/tests/mapping/shm_os_helpers_win32.cpp)
else()
  set(tavelin_virtual_os_helpers ${CMAKE_SOURCE_DIR}/tests/mapping/shm_os_helpers_posix.cpp)
endif()
tavelin_add_test(virtual_joysticks_test
  SOURCES
    ${CMAKE_SOURCE_DIR}/tests/platform/virtual_joysticks_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/devices/allocation_counter.cpp
    ${tavelin_virtual_os_helpers}
  LIBS tavelin_devices tavelin_virtual)
