# Extra settings of plugin_tests (included by qcp_add_test_suite, where
# `name` is "plugin" and the target ${name}_tests exists, before add_test).

# lnk-tool.exe and the test Start-menu pin server: QCP_LNK_TOOL and
# QCP_PIN_SERVER_DLL (tests/support/CMakeLists.txt).
qcp_use_shortcut_support(${name}_tests)

# The unpin tests register and unregister the pin server in the shared Wine
# prefix; the test is added after this file runs, hence the deferred call
# (whose arguments would be expanded only when it runs, so they are baked in).
cmake_language(EVAL CODE "cmake_language(DEFER CALL set_tests_properties [[${QCP_TEST_LABEL}.${name}]]
  PROPERTIES RESOURCE_LOCK [[${QCP_PIN_SERVER_LOCK}]])")

# Debian's lnkinfo as an independent reader of what writeShortcut saves
# (lnkinfo_check.sh; fails when lnkinfo is not installed).
add_test(NAME ${QCP_TEST_LABEL}.plugin_lnkinfo
  COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/plugin/lnkinfo_check.sh"
    "${CMAKE_CROSSCOMPILING_EMULATOR}" "$<TARGET_FILE:${name}_tests>"
    "${CMAKE_CURRENT_BINARY_DIR}/plugin_lnkinfo")
set_tests_properties(${QCP_TEST_LABEL}.plugin_lnkinfo PROPERTIES TIMEOUT 300)

# The plugin object's tests stand in for the core with the bridge tests'
# recording core.
target_sources(${name}_tests PRIVATE "${CMAKE_CURRENT_SOURCE_DIR}/host/fake_host.cpp")
