# The evdev backend through the real libevdev (Linux only).
if(NOT WIN32)
  tavelin_add_test(evdev_test
    SOURCES
      ${CMAKE_SOURCE_DIR}/tests/platform/evdev_test.cpp
      ${CMAKE_SOURCE_DIR}/tests/platform/fake_evdev_kernel.cpp
      ${CMAKE_SOURCE_DIR}/tests/devices/allocation_counter.cpp
      ${tavelin_test_os_helpers}
    LIBS tavelin_devices tavelin_input tavelin_config tavelin_mapping)
endif()
