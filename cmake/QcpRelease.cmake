# The shipped build (QCP_RELEASE, preset "release"): optimised, with debug
# information split off, stripped, and the same bytes from any checkout
# folder; and the version every shipped program carries.
#
# Included before any target is made, so the flags reach every one of them.

# The version, from project() alone (four parts, the last the commit count):
# a header for --version texts (qcp_version.h, target qcp_version) and a
# Windows version resource per shipped program (qcp_add_version_resource).
configure_file("${CMAKE_CURRENT_LIST_DIR}/qcp_version.h.in" "${CMAKE_BINARY_DIR}/generated/qcp_version.h" @ONLY)
add_library(qcp_version INTERFACE)
target_include_directories(qcp_version INTERFACE "${CMAKE_BINARY_DIR}/generated")

if(WIN32)
  enable_language(RC)
endif()

# The team that makes the programs, named in their version resources.
set(QCP_COMPANY "qcp-be-qel-beta-opt-in developers")
if(QCP_SOURCE_YEAR)
  set(QCP_COPYRIGHT "Copyright (C) ${QCP_SOURCE_YEAR} ${QCP_COMPANY}")
else()
  set(QCP_COPYRIGHT "Copyright (C) ${QCP_COMPANY}")
endif()

# qcp_add_version_resource(TARGET DESCRIPTION): file and product version,
# company, copyright, description, original file name and internal name.
function(qcp_add_version_resource target description)
  if(NOT WIN32)
    return()
  endif()
  get_target_property(type ${target} TYPE)
  get_target_property(output_name ${target} OUTPUT_NAME)
  if(NOT output_name)
    set(output_name ${target})
  endif()
  if(type STREQUAL "SHARED_LIBRARY")
    set(QCP_FILE_TYPE VFT_DLL)
    set(QCP_FILE_NAME "${output_name}.dll")
  else()
    set(QCP_FILE_TYPE VFT_APP)
    set(QCP_FILE_NAME "${output_name}.exe")
  endif()
  set(QCP_INTERNAL_NAME "${output_name}")
  set(QCP_DESCRIPTION "${description}")
  set(resource "${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc")
  configure_file("${PROJECT_SOURCE_DIR}/cmake/version_resource.rc.in" "${resource}" @ONLY)
  target_sources(${target} PRIVATE "${resource}")
endfunction()

if(NOT QCP_RELEASE)
  return()
endif()

# Paths in the debug information and in __FILE__ name the tree, not the
# folder it was checked out or built in. GCC tries the last map first, so the
# build folder (often inside the sources) comes last.
set(QCP_RELEASE_COMPILE_FLAGS
  -g -ffunction-sections -fdata-sections
  "-ffile-prefix-map=${PROJECT_SOURCE_DIR}=/qcp-be-qel-beta-opt-in"
  "-ffile-prefix-map=${CMAKE_BINARY_DIR}=/qcp-be-qel-beta-opt-in/build")
add_compile_options(${QCP_RELEASE_COMPILE_FLAGS})
# No link time in the PE header: strip and objcopy write SOURCE_DATE_EPOCH
# there later (cmake/split_debug_info.cmake).
add_link_options(-Wl,--gc-sections -Wl,--no-insert-timestamp)
