# The documentation that goes with an installed program, and the Debian package CPack makes
# of the install tree (scripts/package.sh runs it). On Windows: a zip of orvo.exe with its
# README (scripts/build-windows.sh runs cpack).
if(WIN32)
  # Only what the zip holds, at its top: the program and the README for Windows.
  if(TARGET orvo)
    install(TARGETS orvo RUNTIME DESTINATION . COMPONENT windows_zip)
  endif()
  # With Windows' line ends, and the version filled in.
  configure_file(cmake/windows/README.txt ${CMAKE_BINARY_DIR}/packaging/README.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/README.txt DESTINATION . COMPONENT windows_zip)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME orvo)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL windows_zip)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_STRIP_FILES ON)
  include(CPack)
  return()
endif()

include(GNUInstallDirs)

set(ORVO_PACKAGE_MAINTAINER "Orvo developers <orvo@quorrelelectronics.com>" CACHE STRING
    "The package's maintainer, as Debian writes it")

install(FILES README.md cmake/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY examples/settings DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# A Debian changelog of the one version this tree builds, dated by SOURCE_DATE_EPOCH when
# set (package.sh sets it to the commit's date), compressed as Debian documentation is.
string(TIMESTAMP ORVO_RELEASE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${CMAKE_BINARY_DIR}/packaging/changelog
     "orvo (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
     "  * Release ${PROJECT_VERSION}.\n\n"
     " -- ${ORVO_PACKAGE_MAINTAINER}  ${ORVO_RELEASE_DATE}\n")
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
                   COMMAND gzip -9 -n -c ${CMAKE_BINARY_DIR}/packaging/changelog > ${CMAKE_BINARY_DIR}/packaging/changelog.gz
                   DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog VERBATIM)
add_custom_target(orvo_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Files under /etc are the administrator's: dpkg keeps their changes and purge removes them.
set(conffiles "")
if(ORVO_AUTOSTART_DIR MATCHES "^/etc/")
  string(APPEND conffiles "${ORVO_AUTOSTART_DIR}/orvo.desktop\n")
endif()
file(WRITE ${CMAKE_BINARY_DIR}/packaging/conffiles "${conffiles}")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ORVO_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "driver and key/MIDI map editor for the Orvo Tablan control surface\n"
    "Keeps the link to the Orvo Tablan control surface (32 faders, pots, a jog\n"
    "wheel, transport and per-channel buttons with lamps) and turns every control\n"
    "event into MIDI and keystrokes for the application that has the focus, with\n"
    "one Keyset per application. The applications' MIDI goes back to the surface\n"
    "to light its lamps.\n"
    "\n"
    "It starts at log-in with a tray icon, follows the focus on X11 and on Wayland\n"
    "compositors that allow it, and talks to JACK, PipeWire or the ALSA sequencer.\n"
    "An editor maps controls to keys and MIDI; a simulated surface tries it all\n"
    "without the hardware.")
# The libraries come from the program itself (dpkg-shlibdeps); Qt's platform plugins are
# loaded at run time, so no library names them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/cmake/debian/postinst ${CMAKE_SOURCE_DIR}/cmake/debian/postrm
    ${CMAKE_BINARY_DIR}/packaging/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
