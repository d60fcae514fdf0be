# bench_window_cycle: one main-window cycle with four moving joysticks.
if(TARGET tavelin_presenters AND TARGET tavelin_fakes AND TARGET tavelin_config)
  tavelin_add_benchmark(bench_window_cycle
    SOURCES ${CMAKE_SOURCE_DIR}/bench/CycleBench.cpp
    LIBS tavelin_presenters tavelin_fakes)
endif()
