# Error reporting and the bounded text helpers.
tavelin_add_test(support_test
  SOURCES
    ${CMAKE_SOURCE_DIR}/tests/support/text_functions_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/number_text_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/error_report_test.cpp
  LIBS tavelin_support)
