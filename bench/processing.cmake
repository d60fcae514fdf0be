# One processing cycle, four joysticks, every control assigned.
tavelin_add_benchmark(bench_process_cycle
  SOURCES ${CMAKE_SOURCE_DIR}/bench/ProcessCycleBench.cpp
  LIBS tavelin_mapping)
