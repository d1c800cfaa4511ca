# Release builds take Debian's hardening flags from dpkg-buildflags, as the
# distribution's own packages do: _FORTIFY_SOURCE, the stack protector,
# read-only relocations and immediate binding (hardening=+all), and PIE.
# Debian 12's dpkg-buildflags stops there; stack-clash protection and
# control-flow protection, which newer Debian releases and other
# distributions build with, are added here.
# Debug, asan and fuzz builds keep their own flags: fortify needs
# optimisation, and the sanitizers bring their own checks.
if(CMAKE_BUILD_TYPE STREQUAL "Release")
  set(_recmon_hardening_default ON)
else()
  set(_recmon_hardening_default OFF)
endif()
option(RECMON_HARDENING "Build with the distribution's hardening flags (dpkg-buildflags)"
       ${_recmon_hardening_default})

if(RECMON_HARDENING)
  find_program(RECMON_DPKG_BUILDFLAGS dpkg-buildflags)
  if(NOT RECMON_DPKG_BUILDFLAGS)
    message(FATAL_ERROR
      "RECMON_HARDENING needs dpkg-buildflags (Debian package dpkg-dev): install it, "
      "or configure with -DRECMON_HARDENING=OFF for a build without the hardening flags.")
  endif()

  # Prints the named dpkg-buildflags variable as a CMake list.
  function(_recmon_buildflags name out)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${RECMON_DPKG_BUILDFLAGS} --get ${name}
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      OUTPUT_VARIABLE flags
      OUTPUT_STRIP_TRAILING_WHITESPACE
      COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    set(${out} ${flags} PARENT_SCOPE)
  endfunction()

  _recmon_buildflags(CPPFLAGS _recmon_cppflags)
  _recmon_buildflags(CXXFLAGS _recmon_cxxflags)
  _recmon_buildflags(LDFLAGS _recmon_ldflags)
  # The build type decides optimisation and debug information; the package
  # is stripped anyway.
  list(FILTER _recmon_cxxflags EXCLUDE REGEX "^-(g|O[0-9s]?)$")
  foreach(flag IN ITEMS -fstack-clash-protection -fcf-protection)
    if(NOT flag IN_LIST _recmon_cxxflags)
      list(APPEND _recmon_cxxflags ${flag})
    endif()
  endforeach()
  add_compile_options(${_recmon_cppflags} ${_recmon_cxxflags})
  add_link_options(${_recmon_ldflags})

  # Debian's compiler makes PIE by default; asking for it keeps that true
  # with any compiler.
  include(CheckPIESupported)
  check_pie_supported()
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)

  string(JOIN " " _recmon_all ${_recmon_cppflags} ${_recmon_cxxflags} ${_recmon_ldflags})
  message(STATUS "Hardening flags: ${_recmon_all}")
endif()
