target_link_libraries(qcp_formats PUBLIC qcp_binding qcp_rapidjson qcp_libyaml)

if(QCP_SANITIZE)
  # RapidJSON's internal stacks add an offset to a null pointer before their
  # first allocation (internal/stack.h, Stack::Reserve), on every parse and
  # every write; UBSan's pointer-overflow check would stop there. Only the two
  # files that instantiate RapidJSON go without that one check.
  set_source_files_properties(
    "${PROJECT_SOURCE_DIR}/formats/json_reader.cpp" "${PROJECT_SOURCE_DIR}/formats/json_writer.cpp"
    PROPERTIES COMPILE_OPTIONS -fno-sanitize=pointer-overflow)
endif()
