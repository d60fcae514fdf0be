# Whether standard output is a terminal, for the command-line tools.
target_sources(tavelin_os PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/Console.cpp)
