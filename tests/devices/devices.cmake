# The joystick device and the result texts, on the scripted DirectInput.
tavelin_add_test(devices_test
  SOURCES
    ${CMAKE_SOURCE_DIR}/tests/devices/joystick_device_test.cpp
  LIBS tavelin_fakes tavelin_devices)

# The joystick set needs the processing and the configuration loader; it
# counts allocations, so it has an executable of its own.
if(TARGET tavelin_mapping AND TARGET tavelin_config)
  tavelin_add_test(joystick_set_test
    SOURCES
      ${CMAKE_SOURCE_DIR}/tests/devices/joystick_set_test.cpp
      ${CMAKE_SOURCE_DIR}/tests/devices/allocation_counter.cpp
      ${tavelin_test_os_helpers}
    LIBS tavelin_fakes tavelin_devices tavelin_config tavelin_mapping)
endif()
