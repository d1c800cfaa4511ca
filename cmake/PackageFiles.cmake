# Lays out in STAGE the files that are installed compressed, as Debian policy
# asks: "gzip" lines are always gzipped (manual pages, the changelog), "doc"
# lines only when larger than 4 KiB. gzip -9n leaves out name and time, so
# the same input gives the same package. Run by the build:
#   cmake -DMANIFEST=FILE -DSTAGE=DIR -DGZIP=PATH -P PackageFiles.cmake
# MANIFEST has one "KIND|SOURCE|DESTINATION" line per file; DESTINATION is
# relative to STAGE, without the .gz.
foreach(var MANIFEST STAGE GZIP)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "PackageFiles.cmake needs -D${var}=...")
  endif()
endforeach()

# A file that left the manifest must not stay in the package.
file(REMOVE_RECURSE ${STAGE})
file(STRINGS ${MANIFEST} lines)
foreach(line IN LISTS lines)
  string(REPLACE "|" ";" fields "${line}")
  list(GET fields 0 kind)
  list(GET fields 1 source)
  list(GET fields 2 destination)
  get_filename_component(folder ${STAGE}/${destination} DIRECTORY)
  file(MAKE_DIRECTORY ${folder})
  file(SIZE ${source} size)
  if(kind STREQUAL "gzip" OR size GREATER 4096)
    execute_process(COMMAND ${GZIP} -9nc
                    INPUT_FILE ${source}
                    OUTPUT_FILE ${STAGE}/${destination}.gz
                    COMMAND_ERROR_IS_FATAL ANY)
  else()
    file(COPY_FILE ${source} ${STAGE}/${destination})
  endif()
endforeach()
