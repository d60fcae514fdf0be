# The Qt renderer and the real main window on offscreen widgets.
if(TAVELIN_HAVE_QT AND TARGET tavelin_qt)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  tavelin_add_test(qt_renderer_test
    SOURCES ${CMAKE_SOURCE_DIR}/tests/qt/qt_renderer_test.cpp
    LIBS tavelin_qt Qt6::Test)
  tavelin_add_test(qt_window_test
    SOURCES ${CMAKE_SOURCE_DIR}/tests/qt/qt_window_test.cpp
    LIBS tavelin_qt tavelin_presenters Qt6::Test)
endif()

# Not a test: takes the pictures of docs/ under Xvfb (docs/screenshots.sh).
if(TAVELIN_HAVE_QT AND TARGET tavelin_qt)
  add_executable(qt_screenshots ${CMAKE_SOURCE_DIR}/tests/qt/screenshots.cpp)
  target_link_libraries(qt_screenshots PRIVATE tavelin_qt tavelin_presenters Qt6::Test)
  tavelin_warnings(qt_screenshots)
endif()
