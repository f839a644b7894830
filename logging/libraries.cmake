# logging/ holds two libraries, one floor apart:
# - qcp_logging, the logger (records, levels, targets, line format,
#   categories, fatal reports, tracing), below everything else of ours, so
#   that any library may log;
# - qcp_errors, the error record (PluginError, Expected, makeError, message
#   templates, the last system error), whose text form needs binding's
#   FormatMessage and the JSON writer of formats/.
set(error_record_sources
    "${PROJECT_SOURCE_DIR}/logging/last_system_error.cpp"
    "${PROJECT_SOURCE_DIR}/logging/make_error.cpp"
    "${PROJECT_SOURCE_DIR}/logging/named_template.cpp"
    "${PROJECT_SOURCE_DIR}/logging/plugin_error.cpp")
qcp_collect_sources(logger_sources logging)
list(REMOVE_ITEM logger_sources ${error_record_sources})

qcp_add_library(qcp_logging ${logger_sources})
if(WIN32)
  # RtlDllShutdownInProgress (log_platform_windows.cpp).
  target_link_libraries(qcp_logging PUBLIC ntdll)
endif()

# The tracing providers register from a static object at library load
# (logging/tracing_at_load.cpp) that nothing calls; this keeps its object file
# in every program and library that links the logger.
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  target_link_options(qcp_logging INTERFACE "LINKER:--undefined=_qcp_tracing_at_load")
else()
  target_link_options(qcp_logging INTERFACE "LINKER:--undefined=qcp_tracing_at_load")
endif()

qcp_add_library(qcp_errors ${error_record_sources})
target_link_libraries(qcp_errors PUBLIC qcp_logging qcp_binding qcp_formats)
