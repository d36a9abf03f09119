# Run when installing (install(CODE) includes it): installs the desktop entry
# ORVO_ENTRY_SOURCE as orvo.desktop in ORVO_ENTRY_DESTINATION (absolute, or relative to the
# install prefix), its Exec line naming the program by its installed path, so that a prefix
# given only at install time counts. Every other line is installed as written.
if(IS_ABSOLUTE "${ORVO_ENTRY_BINDIR}")
  set(program "${ORVO_ENTRY_BINDIR}/orvo")
else()
  set(program "${CMAKE_INSTALL_PREFIX}/${ORVO_ENTRY_BINDIR}/orvo")
endif()
if(IS_ABSOLUTE "${ORVO_ENTRY_DESTINATION}")
  set(destination "${ORVO_ENTRY_DESTINATION}")
else()
  set(destination "${CMAKE_INSTALL_PREFIX}/${ORVO_ENTRY_DESTINATION}")
endif()

file(READ "${ORVO_ENTRY_SOURCE}" text)
string(REGEX REPLACE "\nExec=orvo([ \n])" "\nExec=${program}\\1" text "${text}")
get_filename_component(name "${ORVO_ENTRY_SOURCE}" NAME)
set(staged "${ORVO_ENTRY_STAGING_DIR}/${name}")
file(WRITE "${staged}" "${text}")
file(INSTALL DESTINATION "${destination}" TYPE FILE RENAME orvo.desktop
     PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ FILES "${staged}")
