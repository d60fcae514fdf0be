# tavelin_input: Windows joysticks through the real DirectInput 5.
add_library(tavelin_input STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/DirectInputWin32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/DirectInputNative.cpp)
target_include_directories(tavelin_input PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(tavelin_input PUBLIC tavelin_support dinput dxguid)
tavelin_warnings(tavelin_input)
