# The virtual joystick backend (both platforms).
tavelin_add_test(virtual_joysticks_test
  SOURCES
    ${CMAKE_SOURCE_DIR}/tests/platform/virtual_joysticks_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/devices/allocation_counter.cpp
    ${tavelin_test_os_helpers}
  LIBS tavelin_devices tavelin_virtual)
