# tavelin_input: Linux joysticks through evdev (libevdev, found by pkg-config).
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBEVDEV REQUIRED IMPORTED_TARGET libevdev)
add_library(tavelin_input STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/EvdevDirectInput.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/EvdevTranslation.cpp)
target_include_directories(tavelin_input PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(tavelin_input PUBLIC PkgConfig::LIBEVDEV tavelin_support)
tavelin_warnings(tavelin_input)
