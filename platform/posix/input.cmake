# tavelin_input: Linux joysticks through evdev (libevdev and libudev, found by pkg-config).
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBEVDEV REQUIRED IMPORTED_TARGET libevdev)
add_library(tavelin_input STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/EvdevDirectInput.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/EvdevTranslation.cpp)
target_include_directories(tavelin_input PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(tavelin_input PUBLIC PkgConfig::LIBEVDEV tavelin_support)
# udev's own joystick tag when libudev is there; the same rule on the capabilities otherwise.
pkg_check_modules(LIBUDEV QUIET IMPORTED_TARGET libudev)
if(LIBUDEV_FOUND)
  target_link_libraries(tavelin_input PRIVATE PkgConfig::LIBUDEV)
  target_compile_definitions(tavelin_input PRIVATE TAVELIN_HAVE_LIBUDEV=1)
endif()
tavelin_warnings(tavelin_input)
