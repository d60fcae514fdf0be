# GoogleTest: Debian's installed package natively; for the Windows cross
# build, compiled from Debian's sources in /usr/src/googletest.
include(GoogleTest)
if(CMAKE_CROSSCOMPILING)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  # Its targets come with the GTest:: names of the installed package.
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()

# The tiers a test belongs to, as ctest labels (ctest -L unit):
#   unit    the code alone, or with private blocks and files: seconds in all
#   fakes   through the scripted DirectInput or the recording dialog view
#   evdev   the evdev backend on the real libevdev (Linux)
#   qt      real Qt widgets, offscreen
#   e2e     whole programs run as processes
#   stress  many processes at once, killed attachers, held locks (waits to their bounds)
#   alloc   counts allocations: the executable's global operator new is replaced
#   wine    the Windows build under Wine: every test there has it beside its
#           own tier; a test that exists only there may have it alone
#   net     the network link across network namespaces the test makes (root;
#           skipped with the reason elsewhere)
set(TAVELIN_TEST_TIERS unit fakes evdev qt e2e stress alloc wine net)

# What every test runs with (every add_test of the tree adds it):
#   TAVELIN_NET_LOOPBACK_ONLY=1  the network link never reaches the machine's own
#                                network: outside a namespace of its own it uses
#                                the loopback interface only (net/EngineConfiguration.h)
set(TAVELIN_TEST_ENVIRONMENT "TAVELIN_NET_LOOPBACK_ONLY=1")

# tavelin_add_test(name TIER tier [COUNTS_ALLOCATIONS] SOURCES... LIBS...)
# One GoogleTest executable in <build>/tests, its cases registered with CTest
# one by one (one entry per executable when run through Wine), all labelled
# with its tier. COUNTS_ALLOCATIONS links the allocation counter of
# tests/support and adds the alloc label.
function(tavelin_add_test name)
  cmake_parse_arguments(T "COUNTS_ALLOCATIONS" "TIER" "SOURCES;LIBS" ${ARGN})
  if(T_UNPARSED_ARGUMENTS OR NOT T_SOURCES)
    message(FATAL_ERROR "tavelin_add_test(${name}): expected TIER, SOURCES and LIBS, got ${ARGN}")
  endif()
  if(NOT T_TIER IN_LIST TAVELIN_TEST_TIERS)
    message(FATAL_ERROR "tavelin_add_test(${name}): TIER must be one of ${TAVELIN_TEST_TIERS}")
  endif()
  set(labels ${T_TIER})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gtest)
  if(T_COUNTS_ALLOCATIONS)
    target_link_libraries(${name} PRIVATE tavelin_test_allocations)
    list(APPEND labels alloc)
  endif()
  tavelin_warnings(${name})
  if(CMAKE_CROSSCOMPILING)
    list(APPEND labels wine)
  endif()
  list(REMOVE_DUPLICATES labels)
  if(CMAKE_CROSSCOMPILING)
    # Under Wine every process start is costly: one CTest entry per executable.
    # Each writes its cases' results as XML, so test.sh can count cases, not executables.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "${labels}" ENVIRONMENT
      "TAVELIN_TEST_BINARY_DIR=${CMAKE_BINARY_DIR};GTEST_OUTPUT=xml:Z:${CMAKE_BINARY_DIR}/gtest-results/${name}.xml;${TAVELIN_TEST_ENVIRONMENT}")
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 DISCOVERY_MODE PRE_TEST)
    # gtest_discover_tests flattens a list-valued property, so the labels and
    # the environment are set by a script of our own that ctest reads after
    # the discovered cases.
    set(label_script "${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake")
    set(environment "TAVELIN_TEST_BINARY_DIR=${CMAKE_BINARY_DIR};${TAVELIN_TEST_ENVIRONMENT}")
    file(WRITE "${label_script}"
      "if(${name}_TESTS)\n  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${labels}\" ENVIRONMENT \"${environment}\")\nendif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${label_script}")
  endif()
endfunction()
