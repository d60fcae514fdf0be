# ---- The native Windows window (platform/win32ui), tested under Wine ----
# Label `wine`. Each runs through with-display.sh, which gives Wine a private
# Xvfb for real windows; one at a time (xvfb-run -a may race for a display).
if(WIN32 AND TARGET tavelin_win32ui)
  set(tavelin_wine_display ${CMAKE_SOURCE_DIR}/tests/win32ui/with-display.sh)

  # tavelin_add_wine_test(name SOURCES... LIBS...): one GoogleTest executable
  # run as one CTest entry, its cases' results written as XML for test.sh.
  function(tavelin_add_wine_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gtest)
    tavelin_warnings(${name})
    add_test(NAME ${name} COMMAND ${tavelin_wine_display} wine $<TARGET_FILE:${name}>)
    set_tests_properties(${name} PROPERTIES LABELS wine RESOURCE_LOCK tavelin_xvfb ENVIRONMENT
      "TAVELIN_TEST_BINARY_DIR=${CMAKE_BINARY_DIR};GTEST_OUTPUT=xml:Z:${CMAKE_BINARY_DIR}/gtest-results/${name}.xml")
  endfunction()

  # The renderer with its own presenters and the templates of the program.
  tavelin_add_wine_test(win32ui_renderer_test
    SOURCES
      ${CMAKE_SOURCE_DIR}/tests/win32ui/win32ui_renderer_test.cpp
      $<TARGET_OBJECTS:tavelin_win32ui_resources>
    LIBS tavelin_win32ui tavelin_presenters)
  # The same program on a screen smaller than the main window.
  add_test(NAME win32ui_small_screen_test
    COMMAND ${CMAKE_COMMAND} -E env TAVELIN_TEST_SCREEN=1024x600x24 ${tavelin_wine_display} wine
      $<TARGET_FILE:win32ui_renderer_test> --gtest_filter=*SmallScreen*)
  set_tests_properties(win32ui_small_screen_test PROPERTIES LABELS wine RESOURCE_LOCK tavelin_xvfb ENVIRONMENT
    "GTEST_OUTPUT=xml:Z:${CMAKE_BINARY_DIR}/gtest-results/win32ui_small_screen_test.xml")

  # Not a test: the bare 8 ms timer program the CPU comparison measures
  # tavelin.exe against (scripts/test-extras/cpu-wine.sh).
  add_executable(bare_win32_timer WIN32 ${CMAKE_SOURCE_DIR}/tests/win32ui/bare_win32_timer.cpp)
  tavelin_warnings(bare_win32_timer)

  # The installer, silently, into the test prefix; the end-to-end test runs
  # the installed program; the silent uninstall comes last.
  if(TARGET tavelin_setup)
    add_test(NAME win32ui_setup_install
      COMMAND ${CMAKE_SOURCE_DIR}/tests/win32ui/setup-test.sh install ${TAVELIN_SETUP})
    set_tests_properties(win32ui_setup_install PROPERTIES LABELS wine FIXTURES_SETUP tavelin_installed)
    add_test(NAME win32ui_setup_uninstall COMMAND ${CMAKE_SOURCE_DIR}/tests/win32ui/setup-test.sh uninstall)
    set_tests_properties(win32ui_setup_uninstall PROPERTIES LABELS wine FIXTURES_CLEANUP tavelin_installed)

    tavelin_add_wine_test(win32ui_e2e_test
      SOURCES
        ${CMAKE_SOURCE_DIR}/tests/win32ui/win32ui_e2e_test.cpp
        ${CMAKE_SOURCE_DIR}/tests/mapping/shm_os_helpers_win32.cpp
      LIBS tavelin_shm tavelin_support advapi32)
    target_compile_definitions(win32ui_e2e_test PRIVATE TAVELIN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    set_tests_properties(win32ui_e2e_test PROPERTIES FIXTURES_REQUIRED tavelin_installed)
  endif()
endif()
