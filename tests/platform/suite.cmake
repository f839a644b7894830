# The directory search tests read trees with symbolic links and odd names that
# only Unix can make (unix_fixtures.cmake); they are rebuilt before every build
# of the tests.
set(platform_fixtures_dir "${CMAKE_BINARY_DIR}/platform_test_fixtures")
add_custom_target(${name}_fixtures
  COMMAND ${CMAKE_COMMAND} -D "FIXTURES_DIR=${platform_fixtures_dir}"
          -P "${CMAKE_CURRENT_SOURCE_DIR}/${name}/unix_fixtures.cmake"
  COMMENT "Directory search test trees with symbolic links"
  VERBATIM)
add_dependencies(${name}_tests ${name}_fixtures)
target_compile_definitions(${name}_tests PRIVATE
  QCP_PLATFORM_FIXTURES_DIR="${QCP_TEST_PATH_PREFIX}${platform_fixtures_dir}")
