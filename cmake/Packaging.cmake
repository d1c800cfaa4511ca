# `cmake --install` and a Debian package through CPack. The package's
# dependencies are computed from the installed binaries (dpkg-shlibdeps), so
# they name the Qt runtime packages that recmon really links.
install(FILES
  ${PROJECT_SOURCE_DIR}/README.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/
  DESTINATION ${CMAKE_INSTALL_DOCDIR}
  FILES_MATCHING PATTERN "*.md" PATTERN "*.png")
install(FILES ${PROJECT_SOURCE_DIR}/packaging/kestrum-call-monitor.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "kestrum-call-monitor")
set(CPACK_PACKAGE_VENDOR "Kestrum")
set(CPACK_PACKAGE_CONTACT "Kestrum developers <dev@kestrum.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Always-on-top window showing the live state of a call recording")
set(CPACK_PACKAGE_DESCRIPTION
    "A small tool window that shows, five times a second, whether a call is being recorded, "
    "the recording file and its size, a health grade, sound levels and buffer figures, as "
    "published by a recorder program in a shared status record. Includes the recmon-sim demo "
    "recorder.")
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's own font (a Tahoma of the same metrics) and the opener that
# shows the recording's folder; the monitor works without either.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine, xdg-utils")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)
