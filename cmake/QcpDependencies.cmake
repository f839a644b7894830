# Third-party dependencies: RapidJSON (headers), libyaml, GoogleTest.

# RapidJSON is header-only. The cross compiler gets its header folder alone,
# never the host's whole include folder.
find_path(QCP_RAPIDJSON_DIR rapidjson/reader.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(QCP_THIRD_PARTY_INCLUDE "${CMAKE_BINARY_DIR}/third-party-include")
file(MAKE_DIRECTORY "${QCP_THIRD_PARTY_INCLUDE}")
file(CREATE_LINK "${QCP_RAPIDJSON_DIR}/rapidjson" "${QCP_THIRD_PARTY_INCLUDE}/rapidjson" SYMBOLIC)
add_library(qcp_rapidjson INTERFACE)
target_include_directories(qcp_rapidjson SYSTEM INTERFACE "${QCP_THIRD_PARTY_INCLUDE}")

# CLI11 (header-only) parses the command lines of the tools; its folder is
# linked beside RapidJSON's for the same reason.
find_path(QCP_CLI11_DIR CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
file(CREATE_LINK "${QCP_CLI11_DIR}/CLI" "${QCP_THIRD_PARTY_INCLUDE}/CLI" SYMBOLIC)
add_library(qcp_cli11 INTERFACE)
target_include_directories(qcp_cli11 SYSTEM INTERFACE "${QCP_THIRD_PARTY_INCLUDE}")

# libyaml: built with the cross compiler for Windows from Debian's source
# package, which scripts/setup.sh unpacks with dpkg-source -x into
# .deps/libyaml/source and names in .deps/libyaml/unpacked; Debian's
# libyaml-dev:i386 natively.
if(WIN32)
  include(ExternalProject)
  set(QCP_LIBYAML_SOURCE_DIR "${PROJECT_SOURCE_DIR}/.deps/libyaml/source")
  set(QCP_LIBYAML_UNPACKED "${PROJECT_SOURCE_DIR}/.deps/libyaml/unpacked")
  if(NOT EXISTS "${QCP_LIBYAML_UNPACKED}" OR NOT EXISTS "${QCP_LIBYAML_SOURCE_DIR}/CMakeLists.txt")
    message(FATAL_ERROR "libyaml source missing: run scripts/setup.sh")
  endif()
  # A source package unpacked anew configures and builds libyaml again.
  file(STRINGS "${QCP_LIBYAML_UNPACKED}" QCP_LIBYAML_DSC LIMIT_COUNT 1)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${QCP_LIBYAML_UNPACKED}")
  set(QCP_LIBYAML_PREFIX "${CMAKE_BINARY_DIR}/libyaml")
  # The release build's flags (cmake/QcpRelease.cmake) and the Windows
  # version floor (cmake/QcpCommon.cmake) reach libyaml too.
  list(TRANSFORM QCP_WINDOWS_FLOOR PREPEND "-D" OUTPUT_VARIABLE QCP_LIBYAML_C_FLAGS)
  list(JOIN QCP_LIBYAML_C_FLAGS " " QCP_LIBYAML_C_FLAGS)
  list(JOIN QCP_RELEASE_COMPILE_FLAGS " " release_flags)
  string(APPEND QCP_LIBYAML_C_FLAGS " ${release_flags}")
  ExternalProject_Add(libyaml_build
    SOURCE_DIR "${QCP_LIBYAML_SOURCE_DIR}"
    PREFIX "${QCP_LIBYAML_PREFIX}"
    # Not src/libyaml_build-build, which build folders made before the
    # sources came from the source package configured for another folder.
    BINARY_DIR "${QCP_LIBYAML_PREFIX}/build"
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-i686.cmake
      -DCMAKE_BUILD_TYPE=Release
      "-DCMAKE_C_FLAGS=${QCP_LIBYAML_C_FLAGS}"
      -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
      -DBUILD_SHARED_LIBS=OFF
      -DBUILD_TESTING=OFF
      -DINSTALL_CMAKE_DIR=lib/cmake/yaml
      -DCMAKE_POLICY_DEFAULT_CMP0077=NEW
      "-DQCP_SOURCE_PACKAGE=${QCP_LIBYAML_DSC}"
      # Its compiler, for the release's BUILDINFO (scripts/build-info.py).
      -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
    BUILD_BYPRODUCTS "${QCP_LIBYAML_PREFIX}/lib/libyaml.a")
  # libyaml allocates only through malloc, realloc, free and strdup (in its
  # api.c); renaming them in the installed archive puts every one of its
  # blocks on the library's counting allocation functions
  # (binding/c_library_allocation.cpp).
  ExternalProject_Add_Step(libyaml_build count_allocations
    COMMAND "${CMAKE_OBJCOPY}"
      --redefine-sym _malloc=_qcpLibraryMalloc
      --redefine-sym _realloc=_qcpLibraryRealloc
      --redefine-sym _free=_qcpLibraryFree
      --redefine-sym _strdup=_qcpLibraryStrdup
      "${QCP_LIBYAML_PREFIX}/lib/libyaml.a"
    DEPENDEES install)
  file(MAKE_DIRECTORY "${QCP_LIBYAML_PREFIX}/include")
  add_library(qcp_libyaml STATIC IMPORTED GLOBAL)
  set_target_properties(qcp_libyaml PROPERTIES
    IMPORTED_LOCATION "${QCP_LIBYAML_PREFIX}/lib/libyaml.a"
    INTERFACE_INCLUDE_DIRECTORIES "${QCP_LIBYAML_PREFIX}/include"
    INTERFACE_COMPILE_DEFINITIONS YAML_DECLARE_STATIC)
  add_dependencies(qcp_libyaml libyaml_build)
  # Placed after the archive on every link line, for the renamed functions.
  set_property(TARGET qcp_libyaml PROPERTY INTERFACE_LINK_LIBRARIES qcp_binding)
else()
  find_library(QCP_LIBYAML_LIBRARY NAMES yaml PATHS /usr/lib/i386-linux-gnu NO_DEFAULT_PATH REQUIRED)
  add_library(qcp_libyaml UNKNOWN IMPORTED GLOBAL)
  set_target_properties(qcp_libyaml PROPERTIES IMPORTED_LOCATION "${QCP_LIBYAML_LIBRARY}")
endif()

# cpp-httplib (header-only) for plugin-host's HTTP front: Debian's source
# package with its patches applied (scripts/setup.sh unpacks it), since the
# binary package is a compiled Linux library. MinGW ignores the header's
# #pragma comment(lib), hence ws2_32 here.
if(WIN32)
  set(QCP_CPP_HTTPLIB_DIR "${PROJECT_SOURCE_DIR}/.deps/cpp-httplib/source")
  if(NOT EXISTS "${QCP_CPP_HTTPLIB_DIR}/httplib.h")
    message(FATAL_ERROR "cpp-httplib source missing: run scripts/setup.sh")
  endif()
  # The build uses a copy with our patch (header values as sent, never
  # percent-decoded), made again whenever the unpacked header or the patch
  # changes. A patch that no longer applies stops the configuration: a newer
  # library must be looked at before the patch is mended or dropped.
  set(QCP_CPP_HTTPLIB_PATCH "${PROJECT_SOURCE_DIR}/tools/plugin-host/cpp-httplib-raw-header-values.patch")
  set(QCP_CPP_HTTPLIB_PATCHED "${CMAKE_BINARY_DIR}/cpp-httplib")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    "${QCP_CPP_HTTPLIB_DIR}/httplib.h" "${QCP_CPP_HTTPLIB_PATCH}")
  find_program(QCP_PATCH_PROGRAM patch REQUIRED)
  file(MAKE_DIRECTORY "${QCP_CPP_HTTPLIB_PATCHED}")
  execute_process(
    COMMAND "${QCP_PATCH_PROGRAM}" --batch --forward --fuzz=0 --reject-file=-
      --output=${QCP_CPP_HTTPLIB_PATCHED}/httplib.h.new --input=${QCP_CPP_HTTPLIB_PATCH}
      "${QCP_CPP_HTTPLIB_DIR}/httplib.h"
    RESULT_VARIABLE patch_result OUTPUT_VARIABLE patch_output ERROR_VARIABLE patch_output)
  if(NOT patch_result EQUAL 0)
    message(FATAL_ERROR "${QCP_CPP_HTTPLIB_PATCH} no longer applies to "
      "${QCP_CPP_HTTPLIB_DIR}/httplib.h:\n${patch_output}")
  endif()
  file(COPY_FILE "${QCP_CPP_HTTPLIB_PATCHED}/httplib.h.new" "${QCP_CPP_HTTPLIB_PATCHED}/httplib.h" ONLY_IF_DIFFERENT)
  file(REMOVE "${QCP_CPP_HTTPLIB_PATCHED}/httplib.h.new")
  add_library(qcp_cpp_httplib INTERFACE)
  target_include_directories(qcp_cpp_httplib SYSTEM INTERFACE "${QCP_CPP_HTTPLIB_PATCHED}")
  target_link_libraries(qcp_cpp_httplib INTERFACE ws2_32)
endif()

# GoogleTest from Debian's sources, built with this build's compiler.
if(NOT QCP_BENCH AND NOT QCP_RELEASE)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
endif()
