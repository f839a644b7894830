# The host bridge: the remoting layer's transport and records, the value
# conversions and readers, the error record, and the logger with its
# fatal-error path.
target_link_libraries(qcp_host PUBLIC qcp_remoting qcp_formats qcp_binding qcp_errors)
