# Compiler settings shared by every target, and the per-subsystem library rule.

set(QCP_WARNINGS -Wall -Wextra)

if(WIN32)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
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

# One static library per subsystem folder, named qcp_<folder>.
function(qcp_add_subsystem name)
  qcp_collect_sources(sources ${name})
  if(NOT sources)
    add_library(qcp_${name} INTERFACE)
    target_include_directories(qcp_${name} INTERFACE ${PROJECT_SOURCE_DIR})
    return()
  endif()
  add_library(qcp_${name} STATIC ${sources})
  target_include_directories(qcp_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_options(qcp_${name} PRIVATE ${QCP_WARNINGS})
  set(deps_file "${PROJECT_SOURCE_DIR}/${name}/dependencies.cmake")
  if(EXISTS "${deps_file}")
    include("${deps_file}")
  endif()
endfunction()
