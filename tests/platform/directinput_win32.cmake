# The real DirectInput 5 under Wine (Windows build only).
if(WIN32)
  tavelin_add_test(directinput_win32_test
    SOURCES
      ${CMAKE_SOURCE_DIR}/tests/platform/directinput_win32_test.cpp
      ${CMAKE_SOURCE_DIR}/tests/mapping/shm_os_helpers_win32.cpp
    LIBS tavelin_devices tavelin_input)
endif()
