# The program as a process (native Linux build with the Qt window only).
if(TAVELIN_HAVE_QT AND TARGET tavelin AND NOT CMAKE_CROSSCOMPILING)
  tavelin_add_test(e2e_program_test
    SOURCES ${CMAKE_SOURCE_DIR}/tests/e2e/e2e_program_test.cpp
    LIBS tavelin_shm tavelin_support)
  target_compile_definitions(e2e_program_test PRIVATE TAVELIN_PROGRAM_PATH="$<TARGET_FILE:tavelin>")
  add_dependencies(e2e_program_test tavelin)
endif()
# The Wine bridge: native tavelin and simblock beside the Windows build's
# simblock.exe under wine. Labelled "wine" and kept out of the native run of
# test.sh, which runs them after the Windows build with TAVELIN_WIN_SIMBLOCK
# set; without it they use TAVELIN_WIN_SIMBLOCK from the cache (default: the
# Windows build beside this one) and skip when there is none.
if(TAVELIN_HAVE_QT AND TARGET tavelin AND NOT CMAKE_CROSSCOMPILING)
  get_filename_component(tavelin_build_parent ${CMAKE_BINARY_DIR} DIRECTORY)
  set(TAVELIN_WIN_SIMBLOCK "${tavelin_build_parent}/win/tools/simblock/simblock.exe"
    CACHE FILEPATH "The Windows build's simblock.exe for the Wine bridge tests")
  add_executable(wine_bridge_test ${CMAKE_SOURCE_DIR}/tests/e2e/wine_bridge_test.cpp)
  target_link_libraries(wine_bridge_test PRIVATE tavelin_shm tavelin_support GTest::gtest_main GTest::gtest)
  tavelin_warnings(wine_bridge_test)
  target_compile_definitions(wine_bridge_test PRIVATE TAVELIN_PROGRAM_PATH="$<TARGET_FILE:tavelin>"
    TAVELIN_SIMBLOCK_PATH="$<TARGET_FILE:simblock>" TAVELIN_WIN_SIMBLOCK_DEFAULT="${TAVELIN_WIN_SIMBLOCK}")
  add_dependencies(wine_bridge_test tavelin simblock)
  # One at a time: each starts Wine processes, and the latency figure wants a quiet machine.
  gtest_discover_tests(wine_bridge_test DISCOVERY_TIMEOUT 120 DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS wine RESOURCE_LOCK wine TIMEOUT 300)
endif()
