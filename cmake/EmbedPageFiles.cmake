# cmake -DOUTPUT=FILE.cpp -DINPUTS="a;b" -P EmbedPageFiles.cmake: writes a
# C++ file whose pageFiles() (tools/plugin-host/page_files.h) holds each
# input's name and text.
set(body "// Generated from the page's files by cmake/EmbedPageFiles.cmake.\n#include \"page_files.h\"\n\nnamespace PluginHost {\nnamespace {\nconstexpr PageFile files[] = {\n")
foreach(input IN LISTS INPUTS)
  file(READ "${input}" text)
  if(text MATCHES "\\)qcp-page\"")
    message(FATAL_ERROR "${input} holds the raw string's end marker")
  endif()
  get_filename_component(name "${input}" NAME)
  string(APPEND body "    {\"${name}\", R\"qcp-page(${text})qcp-page\"},\n")
endforeach()
string(APPEND body "};\n}  // namespace\n\nstd::span<const PageFile> pageFiles() { return files; }\n\n}  // namespace PluginHost\n")
file(WRITE "${OUTPUT}" "${body}")
