# The release build's output as it ships (QCP_RELEASE): the client folder
# (client/) with the stripped programs where the core and its integrators
# expect them, and beside it symbols/ with each one's debug information at
# the same relative path plus ".debug". scripts/package.sh archives both; the
# end-to-end tests run client/ (tests/CMakeLists.txt).

set(QCP_CLIENT_DIR "${CMAKE_BINARY_DIR}/client")
set(QCP_SYMBOLS_DIR "${CMAKE_BINARY_DIR}/symbols")

# The time written into the PE headers by strip and objcopy: SOURCE_DATE_EPOCH
# when set, else the last commit's time. Checked at every build, rewritten
# only when it changes, so the programs are stamped again exactly then.
set(QCP_EPOCH_FILE "${CMAKE_BINARY_DIR}/source_date_epoch.txt")
add_custom_target(qcp_source_date_epoch
  COMMAND "${CMAKE_COMMAND}" "-DSOURCE_DIR=${PROJECT_SOURCE_DIR}" "-DOUTPUT=${QCP_EPOCH_FILE}"
    -P "${PROJECT_SOURCE_DIR}/cmake/source_date_epoch.cmake"
  BYPRODUCTS "${QCP_EPOCH_FILE}"
  VERBATIM)

# qcp_ship(TARGET PATH): TARGET's file, stripped, as client/PATH, linked by
# its debug link to symbols/PATH.debug; the target TARGET_shipped makes both.
function(qcp_ship target path)
  set(shipped "${QCP_CLIENT_DIR}/${path}")
  set(symbols "${QCP_SYMBOLS_DIR}/${path}.debug")
  add_custom_command(OUTPUT "${shipped}" "${symbols}"
    COMMAND "${CMAKE_COMMAND}" "-DOBJCOPY=${CMAKE_OBJCOPY}" "-DSTRIP=${CMAKE_STRIP}"
      "-DINPUT=$<TARGET_FILE:${target}>" "-DOUTPUT=${shipped}" "-DSYMBOLS=${symbols}"
      "-DEPOCH_FILE=${QCP_EPOCH_FILE}" -P "${PROJECT_SOURCE_DIR}/cmake/split_debug_info.cmake"
    DEPENDS ${target} "${QCP_EPOCH_FILE}" "${PROJECT_SOURCE_DIR}/cmake/split_debug_info.cmake"
    COMMENT "Stripping ${path}, its debug information to symbols/"
    VERBATIM)
  add_custom_target(${target}_shipped DEPENDS "${shipped}" "${symbols}")
  add_dependencies(${target}_shipped qcp_source_date_epoch)
  set_property(GLOBAL APPEND PROPERTY QCP_SHIPPED_TARGETS ${target}_shipped)
endfunction()

# The DLL's link map shows what takes its room (scripts/size-report.py).
target_link_options(qcp_plugin_dll PRIVATE "LINKER:-Map=${CMAKE_BINARY_DIR}/qcp-be-qel-beta-opt-in.map")
qcp_ship(qcp_plugin_dll "Plugins/qcp-be-qel-beta-opt-in/qcp-be-qel-beta-opt-in.dll")
# Beside Plugins/, as the core: the elevated launch finds the DLL relative to
# the running program's folder.
qcp_ship(plugin-host "plugin-host.exe")
qcp_ship(value-dump "tools/value-dump.exe")
qcp_ship(migration-preview "tools/migration-preview.exe")

get_property(shipped_targets GLOBAL PROPERTY QCP_SHIPPED_TARGETS)
add_custom_target(qcp_client_folder ALL DEPENDS ${shipped_targets})
