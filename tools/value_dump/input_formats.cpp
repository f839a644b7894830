#include "input_formats.h"

#include <iterator>
#include <utility>

#include "formats/json_reader.h"
#include "formats/msgpack_reader.h"
#include "formats/yaml_reader.h"

namespace Quor {

namespace {

ValueResult readJson(const std::string& content) { return parseJson(content.c_str()); }

// As a request body: bytes after the value are an error.
ValueResult readMessagePack(const std::string& content) {
  MessagePackReading reading = parseMessagePack(content.data(), content.size());
  if (reading.result.ok() && reading.position < content.size()) {
    return ValueResult::failure("Extra MessgePack data found in body");
  }
  return std::move(reading.result);
}

// As a request body: NUL-terminated text.
ValueResult readYaml(const std::string& content) { return parseYaml(content.c_str()); }

constexpr InputFormat inputFormats[] = {
    {"json", &readJson},
    {"msgpack", &readMessagePack},
    {"yaml", &readYaml},
};

}  // namespace

const InputFormat* findInputFormat(std::string_view name) {
  for (const InputFormat& format : inputFormats) {
    if (format.name == name) return &format;
  }
  return nullptr;
}

std::string inputFormatNames() {
  std::string names;
  for (const InputFormat& format : inputFormats) {
    if (!names.empty()) names += '|';
    names += format.name;
  }
  return names;
}

}  // namespace Quor
