# The libFuzzer target of the configuration files (clang only). Built by
# scripts/test-extras/fuzz.sh with -DTAVELIN_FUZZ=ON and -DTAVELIN_SANITIZE=ON;
# the libraries get -fsanitize=fuzzer-no-link through CMAKE_CXX_FLAGS there.
option(TAVELIN_FUZZ "Build the libFuzzer target of the configuration files (clang)" OFF)
if(TAVELIN_FUZZ)
  add_executable(fuzz_configuration ${CMAKE_SOURCE_DIR}/fuzz/fuzz_configuration.cpp)
  target_link_libraries(fuzz_configuration PRIVATE tavelin_config)
  target_compile_options(fuzz_configuration PRIVATE -fsanitize=fuzzer)
  target_link_options(fuzz_configuration PRIVATE -fsanitize=fuzzer)
  tavelin_warnings(fuzz_configuration)
endif()
