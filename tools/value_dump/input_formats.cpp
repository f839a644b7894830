#include "input_formats.h"

#include <iterator>

#include "formats/json_reader.h"

namespace Quor {

namespace {

ValueResult readJson(const std::string& content) { return parseJson(content.c_str()); }

constexpr InputFormat inputFormats[] = {
    {"json", &readJson},
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
