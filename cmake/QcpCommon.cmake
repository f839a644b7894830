# Compiler settings shared by every target, and the per-subsystem library rule.

set(QCP_WARNINGS -Wall -Wextra)

if(WIN32)
  # Windows Vista is the oldest system the programs run on: every source
  # (ours, GoogleTest's, and libyaml's through cmake/QcpDependencies.cmake)
  # sees only the declarations Vista has, so a call of a later system's
  # function does not compile; such functions are looked up at run time. The
  # few that MinGW-w64's headers declare whatever the version (such as
  # RaiseFailFastException) show in the DLL's import check instead.
  set(QCP_WINDOWS_FLOOR _WIN32_WINNT=0x0600 WINVER=0x0600)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX ${QCP_WINDOWS_FLOOR})
  set(QCP_SOURCE_EXCLUDE "_posix\\.(c|cpp)$")
else()
  # Native builds are 32-bit like the product, so record layouts and pointer
  # sizes are those of the DLL.
  add_compile_options(-m32)
  add_link_options(-m32)
  set(QCP_SOURCE_EXCLUDE "_windows\\.(c|cpp)$")
endif()

if(QCP_SANITIZE)
  set(QCP_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined
      -fno-omit-frame-pointer)
  add_compile_options(${QCP_SANITIZER_FLAGS})
  add_link_options(${QCP_SANITIZER_FLAGS})
endif()

# Sources of one subsystem folder: files ending in _windows.cpp build only for
# Windows, files ending in _posix.cpp only natively.
function(qcp_collect_sources out folder)
  file(GLOB found CONFIGURE_DEPENDS
       "${PROJECT_SOURCE_DIR}/${folder}/*.cpp" "${PROJECT_SOURCE_DIR}/${folder}/*.c")
  list(FILTER found EXCLUDE REGEX "${QCP_SOURCE_EXCLUDE}")
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# A static library of ours: the project root is its include root, and it is
# listed among the libraries the DLL and the fuzz targets link.
function(qcp_add_library target)
  add_library(${target} STATIC ${ARGN})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_options(${target} PRIVATE ${QCP_WARNINGS})
  set_property(GLOBAL APPEND PROPERTY QCP_LIBRARIES ${target})
endfunction()

# One static library per subsystem folder, named qcp_<folder>, whose links
# are set by the folder's dependencies.cmake. A folder that holds more than
# one library defines them in a libraries.cmake of its own instead.
function(qcp_add_subsystem name)
  set(libraries_file "${PROJECT_SOURCE_DIR}/${name}/libraries.cmake")
  if(EXISTS "${libraries_file}")
    include("${libraries_file}")
    return()
  endif()
  qcp_collect_sources(sources ${name})
  if(NOT sources)
    add_library(qcp_${name} INTERFACE)
    target_include_directories(qcp_${name} INTERFACE ${PROJECT_SOURCE_DIR})
    return()
  endif()
  qcp_add_library(qcp_${name} ${sources})
  set(deps_file "${PROJECT_SOURCE_DIR}/${name}/dependencies.cmake")
  if(EXISTS "${deps_file}")
    include("${deps_file}")
  endif()
endfunction()
