# The assignment model, filters, remembered values and the per-cycle processing.
tavelin_add_test(filter_remember_test
  SOURCES ${CMAKE_SOURCE_DIR}/tests/mapping/filter_remember_test.cpp
  LIBS tavelin_mapping)

tavelin_add_test(processing_test
  SOURCES
    ${CMAKE_SOURCE_DIR}/tests/mapping/control_processor_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/mapping/processing_block_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/mapping/processing_garbage_test.cpp
    ${tavelin_test_os_helpers}
  LIBS tavelin_mapping)

# Replaces the global operator new, so it has an executable of its own.
tavelin_add_test(processing_alloc_test
  SOURCES
    ${CMAKE_SOURCE_DIR}/tests/mapping/processing_alloc_test.cpp
    ${tavelin_test_os_helpers}
  LIBS tavelin_mapping)
