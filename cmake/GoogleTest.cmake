# GoogleTest: Debian's installed package natively; for the Windows cross
# build, compiled from Debian's sources in /usr/src/googletest.
include(GoogleTest)
if(CMAKE_CROSSCOMPILING)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
else()
  find_package(GTest REQUIRED)
endif()

# tavelin_add_test(name SOURCES... LIBS ...): one GoogleTest executable,
# its cases registered with CTest one by one (run through Wine when cross-built).
function(tavelin_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gtest)
  tavelin_warnings(${name})
  if(CMAKE_CROSSCOMPILING)
    # Under Wine every process start is costly: one CTest entry per executable.
    # Each writes its cases' results as XML, so test.sh can count cases, not executables.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT
      "TAVELIN_TEST_BINARY_DIR=${CMAKE_BINARY_DIR};GTEST_OUTPUT=xml:Z:${CMAKE_BINARY_DIR}/gtest-results/${name}.xml")
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 DISCOVERY_MODE PRE_TEST
      PROPERTIES ENVIRONMENT "TAVELIN_TEST_BINARY_DIR=${CMAKE_BINARY_DIR}")
  endif()
endfunction()
