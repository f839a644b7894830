# Extra settings of logging_tests (included by qcp_add_test_suite).

# The folder's second library, the error record, is tested here too.
target_link_libraries(${name}_tests PRIVATE qcp_errors)

if(WIN32)
  # The process-exit probe: an executable and a DLL with a logger of its own
  # (logger_exit_test_windows.cpp runs it).
  add_library(qcp_logger_exit_probe SHARED ${CMAKE_CURRENT_SOURCE_DIR}/${name}/exit_probe/logger_exit_probe_dll.cpp)
  set_target_properties(qcp_logger_exit_probe PROPERTIES PREFIX "")
  target_compile_options(qcp_logger_exit_probe PRIVATE ${QCP_WARNINGS})
  target_link_libraries(qcp_logger_exit_probe PRIVATE qcp_logging)
  add_executable(qcp_logger_exit_probe_run ${CMAKE_CURRENT_SOURCE_DIR}/${name}/exit_probe/logger_exit_probe.cpp)
  target_compile_options(qcp_logger_exit_probe_run PRIVATE ${QCP_WARNINGS})
  add_dependencies(${name}_tests qcp_logger_exit_probe qcp_logger_exit_probe_run)
  target_compile_definitions(${name}_tests PRIVATE
    "QCP_LOGGER_EXIT_PROBE=\"${QCP_TEST_PATH_PREFIX}$<TARGET_FILE:qcp_logger_exit_probe_run>\""
    "QCP_LOGGER_EXIT_PROBE_DLL=\"${QCP_TEST_PATH_PREFIX}$<TARGET_FILE:qcp_logger_exit_probe>\"")
endif()
