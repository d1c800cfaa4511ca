# `cmake --install` and a Debian package through CPack, laid out as Debian
# policy asks: manual pages and the changelog gzipped, documents over 4 KiB
# gzipped, the copyright file plain, icons in the hicolor theme, programs
# stripped of the .comment section. The package's library dependencies are
# computed from the installed binaries (dpkg-shlibdeps), so they name the Qt
# runtime packages that recmon really links.
set(RECMON_PACKAGE_NAME kestrum-call-monitor)
set(RECMON_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(RECMON_STAGE_DIR ${PROJECT_BINARY_DIR}/package-files)

# Debian's native packages carry no Debian revision, so the changelog's
# newest entry names the project's version as it is.
file(STRINGS ${RECMON_PACKAGING_DIR}/changelog _recmon_newest LIMIT_COUNT 1)
if(NOT _recmon_newest MATCHES "^${RECMON_PACKAGE_NAME} \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR
    "packaging/changelog begins with '${_recmon_newest}', but the project's version is "
    "${PROJECT_VERSION}: add an entry for ${PROJECT_VERSION} at the top of the changelog.")
endif()

# Files installed compressed are made at build time in RECMON_STAGE_DIR (see
# PackageFiles.cmake). Every manual page in packaging/man is taken, so a new
# program's page needs no change here.
file(GLOB _recmon_man_pages CONFIGURE_DEPENDS ${RECMON_PACKAGING_DIR}/man/*.1)
file(GLOB _recmon_docs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.md)
set(_recmon_manifest "")
set(_recmon_stage_inputs ${RECMON_PACKAGING_DIR}/changelog ${PROJECT_SOURCE_DIR}/README.md)
foreach(page IN LISTS _recmon_man_pages)
  get_filename_component(name ${page} NAME)
  string(APPEND _recmon_manifest "gzip|${page}|man/man1/${name}\n")
endforeach()
string(APPEND _recmon_manifest "gzip|${RECMON_PACKAGING_DIR}/changelog|doc/changelog\n")
foreach(doc IN LISTS _recmon_docs)
  get_filename_component(name ${doc} NAME)
  string(APPEND _recmon_manifest "doc|${doc}|doc/${name}\n")
endforeach()
# Last, so that its links can point at the documents as installed.
string(APPEND _recmon_manifest "readme|${PROJECT_SOURCE_DIR}/README.md|doc/README.md\n")
list(APPEND _recmon_stage_inputs ${_recmon_man_pages} ${_recmon_docs})
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/package-files.manifest CONTENT "${_recmon_manifest}")

find_program(RECMON_GZIP gzip REQUIRED)
add_custom_command(
  OUTPUT ${RECMON_STAGE_DIR}.stamp
  COMMAND ${CMAKE_COMMAND} -DMANIFEST=${PROJECT_BINARY_DIR}/package-files.manifest
          -DSTAGE=${RECMON_STAGE_DIR} -DGZIP=${RECMON_GZIP}
          -P ${PROJECT_SOURCE_DIR}/cmake/PackageFiles.cmake
  COMMAND ${CMAKE_COMMAND} -E touch ${RECMON_STAGE_DIR}.stamp
  DEPENDS ${_recmon_stage_inputs} ${PROJECT_BINARY_DIR}/package-files.manifest
          ${PROJECT_SOURCE_DIR}/cmake/PackageFiles.cmake
  COMMENT "Compressing manual pages, changelog and documents"
  VERBATIM)
add_custom_target(recmon-package-files ALL DEPENDS ${RECMON_STAGE_DIR}.stamp)

# Directories that the install makes on its way get 0755 whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(DIRECTORY ${RECMON_STAGE_DIR}/man/ DESTINATION ${CMAKE_INSTALL_MANDIR})
install(DIRECTORY ${RECMON_STAGE_DIR}/doc/ DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${RECMON_PACKAGING_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/images DESTINATION ${CMAKE_INSTALL_DOCDIR}
        FILES_MATCHING PATTERN "*.png")
install(FILES ${RECMON_PACKAGING_DIR}/${RECMON_PACKAGE_NAME}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(DIRECTORY ${RECMON_PACKAGING_DIR}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons
        FILES_MATCHING PATTERN "*.png" PATTERN "*.svg")

# A stripping install (CPack's, or `cmake --install --strip`) also drops the
# .comment section, which only names compiler versions, as dh_strip does.
# Every ELF file in the programs' folder is taken, whoever installed it.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    file(GLOB _programs \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/*\")
    foreach(_program IN LISTS _programs)
      file(READ \${_program} _magic LIMIT 4 HEX)
      if(_magic STREQUAL \"7f454c46\")
        execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment \${_program}
                        COMMAND_ERROR_IS_FATAL ANY)
      endif()
    endforeach()
  endif()")

# For packaging/check-deb: the box each text of the window must fit in, read
# from the layout table. Not installed.
add_executable(recmon-layout-boxes ${RECMON_PACKAGING_DIR}/LayoutBoxes.cpp)
target_link_libraries(recmon-layout-boxes PRIVATE RecMonModel)
recmon_warnings(recmon-layout-boxes)

# The extended description, written in packaging/description as paragraphs
# separated by empty lines, reflowed into the lines of a Debian extended
# description (at most 79 columns after the leading space). The text is read
# from a file rather than passed as arguments, since CMake would split an
# argument at every ";" and lose it; inside, ";" stands in for a character
# that CMake's lists leave alone.
set(RECMON_DESCRIPTION_FILE ${RECMON_PACKAGING_DIR}/description)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${RECMON_DESCRIPTION_FILE})
function(recmon_debian_description out file)
  file(READ ${file} text)
  string(ASCII 31 semicolon)
  string(ASCII 30 break)
  string(REPLACE ";" "${semicolon}" text "${text}")
  string(STRIP "${text}" text)
  string(REGEX REPLACE "\n[ \t]*\n[ \t\n]*" "${break}" text "${text}")
  string(REPLACE "${break}" ";" paragraphs "${text}")
  set(lines "")
  foreach(paragraph IN LISTS paragraphs)
    if(lines)
      string(APPEND lines "\n\n")
    endif()
    string(REGEX REPLACE "[ \t\n]+" ";" words "${paragraph}")
    set(line "")
    foreach(word IN LISTS words)
      string(LENGTH "${line} ${word}" length)
      if(line AND length GREATER 79)
        string(APPEND lines "${line}\n")
        set(line "${word}")
      elseif(line)
        string(APPEND line " ${word}")
      else()
        set(line "${word}")
      endif()
    endforeach()
    string(APPEND lines "${line}")
  endforeach()
  string(REPLACE "${semicolon}" ";" lines "${lines}")
  set(${out} "${lines}" PARENT_SCOPE)
endfunction()

recmon_debian_description(CPACK_PACKAGE_DESCRIPTION ${RECMON_DESCRIPTION_FILE})

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME ${RECMON_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "Kestrum")
set(CPACK_PACKAGE_CONTACT "Kestrum developers <dev@kestrum.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "always-on-top window showing the live state of a call recording")
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Wine's Tahoma is the font the window's layout is made for: with the wider
# DejaVu Sans that a minimal system has, texts are cut at their boxes' edges.
# Its bold face draws the regular outlines, so bold text takes DejaVu Sans
# Condensed Bold, of near-identical widths. dpkg-shlibdeps adds the libraries.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wine, fonts-dejavu-extra")
# The opener that shows the recording's folder, and Qt's Wayland platform for
# sessions without an X server; the monitor works without either.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-wayland")
# Where recmon-record --auto tells that a call's file is ready; every desktop
# has one, and calls are recorded without it. libsystemd0 (its sd-bus reaches
# the service) comes from dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "notification-daemon")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})
set(CPACK_STRIP_FILES ON)
include(CPack)
