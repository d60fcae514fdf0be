# The installer (NSIS) and the zip of the Windows program, built with it
# (scripts/install-deps.sh installs makensis and zip).
find_program(TAVELIN_MAKENSIS makensis REQUIRED)
find_program(TAVELIN_ZIP zip REQUIRED)
set(TAVELIN_SETUP ${CMAKE_BINARY_DIR}/tavelin-${PROJECT_VERSION}-setup.exe CACHE INTERNAL "the installer the Windows build makes")
set(TAVELIN_ZIP_FILE ${CMAKE_BINARY_DIR}/tavelin-${PROJECT_VERSION}-win64.zip CACHE INTERNAL "the zip the Windows build makes")
set(tavelin_installed_files
  ${CMAKE_SOURCE_DIR}/examples/Joystick.ini
  ${CMAKE_SOURCE_DIR}/examples/virtual-joysticks.ini
  ${CMAKE_SOURCE_DIR}/examples/Joystick-virtual.ini)

set(TAVELIN_NSIS_SCRIPT ${CMAKE_CURRENT_SOURCE_DIR}/installer/tavelin.nsi CACHE INTERNAL "the installer's script")

# tavelin_make_setup(OUTPUT VERSION [SCRIPT]): the rule that makes an
# installer of this build's programs that calls itself VERSION, from SCRIPT
# (default: the installer's own; the tests make an older version from a copy).
function(tavelin_make_setup output version)
  set(script ${TAVELIN_NSIS_SCRIPT})
  if(ARGC GREATER 2)
    set(script ${ARGV2})
  endif()
  add_custom_command(OUTPUT ${output}
    COMMAND ${TAVELIN_MAKENSIS} -V2 -NOCD
      -DVERSION=${version}
      -DOUTFILE=${output}
      -DTAVELIN_EXE=$<TARGET_FILE:tavelin>
      -DSIMBLOCK_EXE=$<TARGET_FILE:simblock>
      -DJOYSTICK_INI=${CMAKE_SOURCE_DIR}/examples/Joystick.ini
      -DVIRTUAL_INI=${CMAKE_SOURCE_DIR}/examples/virtual-joysticks.ini
      -DVIRTUAL_SETUP_INI=${CMAKE_SOURCE_DIR}/examples/Joystick-virtual.ini
      ${script}
    DEPENDS tavelin simblock ${script} ${CMAKE_SOURCE_DIR}/examples/Joystick.ini
      ${CMAKE_SOURCE_DIR}/examples/virtual-joysticks.ini ${CMAKE_SOURCE_DIR}/examples/Joystick-virtual.ini
    COMMENT "Making the installer ${output}"
    VERBATIM)
endfunction()

tavelin_make_setup(${TAVELIN_SETUP} ${PROJECT_VERSION})
add_custom_target(tavelin_setup ALL DEPENDS ${TAVELIN_SETUP})

set(zip_folder ${CMAKE_CURRENT_BINARY_DIR}/zip/tavelin-${PROJECT_VERSION})
add_custom_command(OUTPUT ${TAVELIN_ZIP_FILE}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_CURRENT_BINARY_DIR}/zip ${TAVELIN_ZIP_FILE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${zip_folder}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:tavelin> $<TARGET_FILE:simblock> ${tavelin_installed_files}
    ${zip_folder}
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_CURRENT_BINARY_DIR}/zip
    ${TAVELIN_ZIP} -q -r -X ${TAVELIN_ZIP_FILE} tavelin-${PROJECT_VERSION}
  DEPENDS tavelin simblock ${tavelin_installed_files}
  COMMENT "Making the zip ${TAVELIN_ZIP_FILE}"
  VERBATIM)
add_custom_target(tavelin_zip ALL DEPENDS ${TAVELIN_ZIP_FILE})
