# The native half of the Wine bridge (simblock wine-bridge).
target_sources(tavelin_os PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/WineBridge.cpp)
