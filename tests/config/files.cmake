# Settings files, the keyed lookup, and the joystick configuration files.
tavelin_add_test(config_files_test
  SOURCES
    ${CMAKE_SOURCE_DIR}/tests/config/settings_file_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/config/ini_reader_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/config/configuration_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/config/configuration_safety_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/config/default_configuration_test.cpp
    ${tavelin_test_os_helpers}
  LIBS tavelin_config tavelin_fakes)
target_compile_definitions(config_files_test PRIVATE
  TAVELIN_EXAMPLES_DIR="${CMAKE_SOURCE_DIR}/examples")
