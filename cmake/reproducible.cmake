# Reproducible Windows builds: the same sources and toolchain give the same Setup.exe bytes,
# wherever and whenever they are built.
# - No source or build folder in the objects: paths in debug information and in __FILE__ are
#   written relative to the source tree ("." ) and the build tree ("build").
# - setup_reproducible(target) links an executable without a time stamp in its PE header and
#   without symbols or debug sections (which also leaves nothing behind the last section, as a
#   one-file installer needs).
# Resources carry no time stamp (windres writes 0) and static libraries do not reach the
# program's bytes.
if(WIN32)
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
                      -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
endif()

function(setup_reproducible target)
  target_link_options(${target} PRIVATE -s -Wl,--no-insert-timestamp)
endfunction()
