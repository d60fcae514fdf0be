# The program as a process (native Linux build with the Qt window only).
if(TAVELIN_HAVE_QT AND TARGET tavelin AND NOT CMAKE_CROSSCOMPILING)
  tavelin_add_test(e2e_program_test
    SOURCES ${CMAKE_SOURCE_DIR}/tests/e2e/e2e_program_test.cpp
    LIBS tavelin_shm tavelin_support)
  target_compile_definitions(e2e_program_test PRIVATE TAVELIN_PROGRAM_PATH="$<TARGET_FILE:tavelin>")
  add_dependencies(e2e_program_test tavelin)
endif()
