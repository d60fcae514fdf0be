# The window presenters, headless through the recording view.
tavelin_add_test(window_templates_test
  SOURCES ${CMAKE_SOURCE_DIR}/tests/app/window_templates_test.cpp
  LIBS tavelin_presenters)
