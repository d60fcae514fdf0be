# The window presenters, headless through the recording view.
tavelin_add_test(window_templates_test
  SOURCES ${CMAKE_SOURCE_DIR}/tests/app/window_templates_test.cpp
  LIBS tavelin_presenters)

if(WIN32)
  set(tavelin_window_os_helpers ${CMAKE_SOURCE_DIR}/tests/mapping/shm_os_helpers_win32.cpp)
else()
  set(tavelin_window_os_helpers ${CMAKE_SOURCE_DIR}/tests/mapping/shm_os_helpers_posix.cpp)
endif()
if(TARGET tavelin_devices AND TARGET tavelin_config)
  tavelin_add_test(main_window_test
    SOURCES
      ${CMAKE_SOURCE_DIR}/tests/app/MainWindowFixture.cpp
      ${CMAKE_SOURCE_DIR}/tests/app/TavelinDlgStartUpTest.cpp
      ${CMAKE_SOURCE_DIR}/tests/app/TavelinDlgHandlersTest.cpp
      ${CMAKE_SOURCE_DIR}/tests/app/TavelinDlgCycleCostTest.cpp
      ${tavelin_window_os_helpers}
    LIBS tavelin_presenters tavelin_fakes)
  if(CMAKE_CROSSCOMPILING)
    # Windows keeps the configuration files in one fixed folder.
    set_tests_properties(main_window_test PROPERTIES RESOURCE_LOCK tavelin_configuration_folder)
  endif()
endif()
