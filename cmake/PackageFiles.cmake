# Lays out in STAGE the files that are installed compressed, as Debian policy
# asks: "gzip" lines are always gzipped (manual pages, the changelog), "doc"
# lines only when larger than 4 KiB. gzip -9n leaves out name and time, so
# the same input gives the same package. Run by the build:
#   cmake -DMANIFEST=FILE -DSTAGE=DIR -DGZIP=PATH -P PackageFiles.cmake
# MANIFEST has one "KIND|SOURCE|DESTINATION" line per file; DESTINATION is
# relative to STAGE, without the .gz. A "readme" line is a "doc" whose
# references to docs/NAME.md and docs/images/ are rewritten to where the
# package puts those files (beside it, NAME.md.gz when gzipped; images/), so
# its links work where it is installed; it must come after the docs.
foreach(var MANIFEST STAGE GZIP)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "PackageFiles.cmake needs -D${var}=...")
  endif()
endforeach()

# A file that left the manifest must not stay in the package.
file(REMOVE_RECURSE ${STAGE})
file(STRINGS ${MANIFEST} lines)
set(installed_docs "")
foreach(line IN LISTS lines)
  string(REPLACE "|" ";" fields "${line}")
  list(GET fields 0 kind)
  list(GET fields 1 source)
  list(GET fields 2 destination)
  get_filename_component(folder ${STAGE}/${destination} DIRECTORY)
  file(MAKE_DIRECTORY ${folder})
  file(SIZE ${source} size)
  if(kind STREQUAL "readme")
    file(READ ${source} text)
    string(REPLACE "docs/images/" "images/" text "${text}")
    foreach(doc IN LISTS installed_docs)
      string(REPLACE "|" ";" doc "${doc}")
      list(GET doc 0 name)
      list(GET doc 1 installed)
      string(REPLACE "docs/${name}" "${installed}" text "${text}")
    endforeach()
    set(source ${STAGE}/${destination}.rewritten)
    file(WRITE ${source} "${text}")
    file(SIZE ${source} size)
  endif()
  get_filename_component(name ${destination} NAME)
  if(kind STREQUAL "gzip" OR size GREATER 4096)
    list(APPEND installed_docs "${name}|${name}.gz")
    execute_process(COMMAND ${GZIP} -9nc
                    INPUT_FILE ${source}
                    OUTPUT_FILE ${STAGE}/${destination}.gz
                    COMMAND_ERROR_IS_FATAL ANY)
  else()
    list(APPEND installed_docs "${name}|${name}")
    file(COPY_FILE ${source} ${STAGE}/${destination})
  endif()
  if(kind STREQUAL "readme")
    file(REMOVE ${source})
  endif()
endforeach()
