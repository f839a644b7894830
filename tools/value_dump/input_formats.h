#pragma once
// The formats value-dump reads. A new format is one more row in the table of
// input_formats.cpp.

#include <string>
#include <string_view>

#include "binding/value.h"

namespace Quor {

struct InputFormat {
  std::string_view name;
  // Reads the whole input; the text is NUL-terminated at content.size().
  ValueResult (*read)(const std::string& content);
};

// The format of that name, or null.
const InputFormat* findInputFormat(std::string_view name);
// The names, separated by "|", for the usage text.
std::string inputFormatNames();

}  // namespace Quor
