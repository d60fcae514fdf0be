# The window presenters, headless through the recording view.
tavelin_add_test(window_templates_test
  SOURCES ${CMAKE_SOURCE_DIR}/tests/app/window_templates_test.cpp
  LIBS tavelin_presenters)

if(TARGET tavelin_devices AND TARGET tavelin_config)
  tavelin_add_test(main_window_test
    SOURCES
      ${CMAKE_SOURCE_DIR}/tests/app/MainWindowFixture.cpp
      ${CMAKE_SOURCE_DIR}/tests/app/TavelinDlgStartUpTest.cpp
      ${CMAKE_SOURCE_DIR}/tests/app/TavelinDlgHandlersTest.cpp
      ${CMAKE_SOURCE_DIR}/tests/app/TavelinDlgCycleCostTest.cpp
      ${CMAKE_SOURCE_DIR}/tests/devices/allocation_counter.cpp
      ${CMAKE_SOURCE_DIR}/tests/app/TavelinDlgSafetyTest.cpp
      ${CMAKE_SOURCE_DIR}/tests/app/TavelinDlgDetectionTest.cpp
      ${tavelin_test_os_helpers}
    LIBS tavelin_presenters tavelin_fakes)
  if(CMAKE_CROSSCOMPILING)
    # Windows keeps the configuration files in one fixed folder.
    set_tests_properties(main_window_test PROPERTIES RESOURCE_LOCK tavelin_configuration_folder)
  endif()
endif()
