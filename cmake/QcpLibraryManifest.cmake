# Writes ${CMAKE_BINARY_DIR}/qcp_libraries.json once every target exists:
# for each target of the library folders, dll/ and tools/ (not the tests),
# its type, its source files (absolute paths) and what it links, as CMake
# will build them. tests/layering_check.py reads it, so the check sees the
# libraries the build makes rather than a reading of the CMake files.
#
#   {"qcp_logging": {"type": "STATIC_LIBRARY", "sources": [...],
#                    "links": [...], "interfaceLinks": [...]}, ...}

function(qcp_json_string out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

function(qcp_json_array out)
  set(items "")
  foreach(item IN LISTS ARGN)
    qcp_json_string(quoted "${item}")
    list(APPEND items "${quoted}")
  endforeach()
  list(JOIN items ", " items)
  set(${out} "[${items}]" PARENT_SCOPE)
endfunction()

function(qcp_write_library_manifest)
  set(entries "")
  # The top folder (where the subsystems' libraries are made) and those of
  # dll/ and tools/ that this build adds (dll/ is Windows only).
  get_property(added DIRECTORY "${PROJECT_SOURCE_DIR}" PROPERTY SUBDIRECTORIES)
  foreach(folder IN ITEMS "${PROJECT_SOURCE_DIR}" "${PROJECT_SOURCE_DIR}/dll" "${PROJECT_SOURCE_DIR}/tools")
    if(NOT folder STREQUAL PROJECT_SOURCE_DIR AND NOT folder IN_LIST added)
      continue()
    endif()
    get_property(targets DIRECTORY "${folder}" PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
      get_target_property(type ${target} TYPE)
      if(type STREQUAL "UTILITY")
        continue()
      endif()
      get_target_property(source_dir ${target} SOURCE_DIR)
      get_target_property(sources ${target} SOURCES)
      set(absolute "")
      foreach(source IN LISTS sources)
        if(source AND NOT source MATCHES "^\\$<")
          cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY "${source_dir}" NORMALIZE)
          list(APPEND absolute "${source}")
        endif()
      endforeach()
      set(links "")
      set(interface_links "")
      if(NOT type STREQUAL "INTERFACE_LIBRARY")
        get_target_property(links ${target} LINK_LIBRARIES)
      endif()
      get_target_property(interface_links ${target} INTERFACE_LINK_LIBRARIES)
      foreach(list_name IN ITEMS links interface_links)
        if(NOT ${list_name})
          set(${list_name} "")
        endif()
      endforeach()
      qcp_json_array(sources_json ${absolute})
      qcp_json_array(links_json ${links})
      qcp_json_array(interface_links_json ${interface_links})
      qcp_json_string(name_json "${target}")
      list(APPEND entries "  ${name_json}: {\"type\": \"${type}\", \"sources\": ${sources_json}, \"links\": ${links_json}, \"interfaceLinks\": ${interface_links_json}}")
    endforeach()
  endforeach()
  list(JOIN entries ",\n" entries)
  file(CONFIGURE OUTPUT "${CMAKE_BINARY_DIR}/qcp_libraries.json" CONTENT "{\n${entries}\n}\n" @ONLY)
endfunction()

cmake_language(DEFER DIRECTORY "${PROJECT_SOURCE_DIR}" CALL qcp_write_library_manifest)
