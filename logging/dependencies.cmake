target_link_libraries(qcp_logging PUBLIC qcp_formats qcp_binding)
if(WIN32)
  # RtlDllShutdownInProgress (log_platform_windows.cpp).
  target_link_libraries(qcp_logging PUBLIC ntdll)
endif()

# The tracing providers register from a static object at library load
# (logging/tracing_at_load.cpp) that nothing calls; this keeps its object file
# in every program and library that links the logging library.
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  target_link_options(qcp_logging INTERFACE "LINKER:--undefined=_qcp_tracing_at_load")
else()
  target_link_options(qcp_logging INTERFACE "LINKER:--undefined=qcp_tracing_at_load")
endif()
