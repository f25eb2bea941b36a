# The product's facts for the files the resource compiler reads: the programs' resource scripts
# and manifests are made at configure time from their templates (res/*.in), with the facts taken
# from src/core/product.h, so that the version and the names are written there alone.
#   @KORVU_PRODUCT_NAME@     the product's name
#   @KORVU_PRODUCT_VERSION@  its version, as every text shows it
#   @KORVU_PACKAGER@         the company that built this package
#   @KORVU_VERSION_DOTTED@   the version in four numbers, the manifest's assembly version
#   @KORVU_VERSION_COMMAS@   the same, for the version resource's FILEVERSION and PRODUCTVERSION
# The four numbers are the one before the point, the one after it, and two zeros: "5.02" gives
# 5.2.0.0 and "5, 2, 0, 0".
set(KORVU_PRODUCT_HEADER ${PROJECT_SOURCE_DIR}/src/core/product.h)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${KORVU_PRODUCT_HEADER})

# Sets the variable NAME to the text of the header's line: #define NAME "text".
function(korvu_product_fact name)
  set(pattern "^#define ${name} \"([^\"\\\\]*)\"$")
  file(STRINGS ${KORVU_PRODUCT_HEADER} lines REGEX "${pattern}")
  list(LENGTH lines count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "${KORVU_PRODUCT_HEADER}: expected one line '#define ${name} \"...\"', "
                        "found ${count}")
  endif()
  string(REGEX REPLACE "${pattern}" "\\1" value "${lines}")
  set(${name} "${value}" PARENT_SCOPE)
endfunction()

korvu_product_fact(KORVU_PRODUCT_NAME)
korvu_product_fact(KORVU_PRODUCT_VERSION)
korvu_product_fact(KORVU_PACKAGER)

if(NOT KORVU_PRODUCT_VERSION MATCHES "^([0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "${KORVU_PRODUCT_HEADER}: the version \"${KORVU_PRODUCT_VERSION}\" is not "
                      "two numbers with a point between them")
endif()
math(EXPR korvu_version_major "${CMAKE_MATCH_1}")
math(EXPR korvu_version_minor "${CMAKE_MATCH_2}")
set(KORVU_VERSION_DOTTED "${korvu_version_major}.${korvu_version_minor}.0.0")
set(KORVU_VERSION_COMMAS "${korvu_version_major}, ${korvu_version_minor}, 0, 0")

# korvu_program_resources(TARGET NAME): the object library TARGET of a program's resources, made
# from res/NAME.rc.in and res/NAME.manifest.in of the calling folder into res/ of its build
# folder. The script finds the manifest beside it and the shared icon and resource numbers below
# src/ (src/base/ui/res). An object library of its own, so that the C++ warning flags never reach
# the resource compiler.
function(korvu_program_resources target name)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/res)
  configure_file(res/${name}.rc.in ${out}/${name}.rc @ONLY NEWLINE_STYLE UNIX)
  configure_file(res/${name}.manifest.in ${out}/${name}.manifest @ONLY NEWLINE_STYLE UNIX)
  add_library(${target} OBJECT ${out}/${name}.rc)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src ${out})
  set(shared ${PROJECT_SOURCE_DIR}/src/base/ui/res)
  set_source_files_properties(${out}/${name}.rc PROPERTIES OBJECT_DEPENDS
    "${out}/${name}.manifest;${shared}/program.ico;${shared}/resource_ids.h")
endfunction()
