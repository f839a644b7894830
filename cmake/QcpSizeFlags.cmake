# The Windows builds optimise the code that runs once or seldom for size
# (-Os): the migration feature, the host bridge, the logger, the directory
# search, the registration, help and description code of the binding and
# remoting layers, and the YAML reader of documents with anchors. What every
# request runs, the readers, the value store, the dispatcher with its
# argument binding and conversions, keeps -O2 (the release preset's). The
# native builds (benchmarks, sanitizers) are left alone.
if(NOT WIN32)
  return()
endif()

foreach(library qcp_plugin qcp_platform qcp_host qcp_logging qcp_errors)
  target_compile_options(${library} PRIVATE -Os)
endforeach()

set(QCP_COLD_SOURCES
  binding/host_api_description.cpp
  binding/type_registry.cpp
  binding/type_names.cpp
  formats/json_writer.cpp
  formats/json_error_text.cpp
  formats/value_text_writer.cpp
  formats/base64.cpp
  formats/yaml_in_place_reader.cpp
  formats/yaml_anchor_table.cpp
  remoting/api_help.cpp
  remoting/builtin_functions.cpp
  remoting/builtin_types.cpp
  remoting/epytext_help.cpp
  remoting/function_name.cpp
  remoting/function_registration.cpp
  remoting/status_reason_table.cpp
  remoting/transport.cpp)
list(TRANSFORM QCP_COLD_SOURCES PREPEND "${PROJECT_SOURCE_DIR}/")
set_source_files_properties(${QCP_COLD_SOURCES} PROPERTIES COMPILE_OPTIONS -Os)
