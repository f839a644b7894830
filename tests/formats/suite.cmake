# Extra settings of formats_tests (included by qcp_add_test_suite).

# Aliases of long YAML texts, a program of its own with a short limit: before
# the text budget such a reading took minutes.
add_executable(yaml_alias_text_tests "${CMAKE_CURRENT_SOURCE_DIR}/${name}/alias_budget/yaml_alias_text_budget_test.cpp")
target_compile_options(yaml_alias_text_tests PRIVATE ${QCP_WARNINGS})
target_link_libraries(yaml_alias_text_tests PRIVATE qcp_formats gtest_main)
add_test(NAME ${QCP_TEST_LABEL}.yaml_alias_text COMMAND yaml_alias_text_tests)
set_tests_properties(${QCP_TEST_LABEL}.yaml_alias_text PROPERTIES TIMEOUT 120)
