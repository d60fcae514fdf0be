# The choice, dead band and thrust lever dialogs through the recording view.
tavelin_add_test(setup_dialogs_test
  SOURCES
    ${CMAKE_SOURCE_DIR}/tests/config/WhichConfigTest.cpp
    ${CMAKE_SOURCE_DIR}/tests/dialogs/DeadBandDlgTest.cpp
    ${CMAKE_SOURCE_DIR}/tests/dialogs/TlaSetUpTest.cpp
  LIBS tavelin_presenters tavelin_fakes)
