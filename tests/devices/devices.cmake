# The joystick device, the result texts and the joystick set, on the scripted DirectInput.
tavelin_add_test(devices_test
  SOURCES
    ${CMAKE_SOURCE_DIR}/tests/devices/joystick_device_test.cpp
  LIBS tavelin_fakes tavelin_devices)
