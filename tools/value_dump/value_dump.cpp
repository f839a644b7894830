// value-dump [--format json|msgpack|yaml] [--typed] FILE
// value-dump --version | --help
//
// Reads FILE ("-" for standard input) as the runtime reads a body of that
// format and prints the value as compact JSON, members in the value's own
// order; with --typed every scalar carries its kind (i:, u:, f:, b:, e:).
// On failure prints "error: " and the runtime's message and exits with 1;
// a wrong command line exits with 2.

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "binary_stdio.h"
#include "formats/value_text_writer.h"
#include "input_formats.h"
#include "qcp_version.h"
#include "read_input.h"

namespace {

void printUsage(std::FILE* stream) {
  std::fprintf(stream, "usage: value-dump [--format %s] [--typed] FILE\n", Quor::inputFormatNames().c_str());
}

int usage() {
  printUsage(stderr);
  return 2;
}

int help() {
  printUsage(stdout);
  std::printf(
      "Prints how the plugin runtime reads FILE (\"-\" for standard input) as\n"
      "compact JSON, members in name order. --typed tags every scalar with its kind\n"
      "(i:, u:, f:, b:, e:). --version prints the version.\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Quor::useBinaryStdio();
  const Quor::InputFormat* format = Quor::findInputFormat("json");
  Quor::ValueTextStyle style = Quor::ValueTextStyle::Json;
  std::optional<std::string> path;
  for (int index = 1; index < argc; ++index) {
    const std::string_view argument = argv[index];
    if (argument == "--help") {
      return help();
    } else if (argument == "--version") {
      std::printf("value-dump %s\n", QCP_VERSION_TEXT);
      return 0;
    } else if (argument == "--typed") {
      style = Quor::ValueTextStyle::Typed;
    } else if (argument == "--format" && index + 1 < argc) {
      format = Quor::findInputFormat(argv[++index]);
      if (format == nullptr) return usage();
    } else if ((argument.size() > 1 && argument[0] == '-') || path) {
      return usage();
    } else {
      path = std::string(argument);
    }
  }
  if (!path) return usage();

  const std::optional<std::string> content = Quor::readInput(*path);
  if (!content) {
    std::fprintf(stderr, "error: cannot read %s\n", path->c_str());
    return 1;
  }
  const Quor::ValueResult result = format->read(*content);
  if (!result.ok()) {
    const std::string message(result.error());
    std::fprintf(stderr, "error: %s\n", message.c_str());
    return 1;
  }
  const std::string text = Quor::valueToText(result.value(), style) + '\n';
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}
