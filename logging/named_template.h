#pragma once
// Named-field message templates: "Error response for {method} {url}: {error}"
// becomes the positional template "Error response for %1 %2: %3" for
// FormatMessage, and each named placeholder records its value as a field.

#include <span>
#include <string>
#include <string_view>

#include "logging/error_fields.h"

namespace Quor {

// Rewrites the template, taking the values in order (a placeholder that
// names no position takes the next one, whether or not it exists) and
// recording named fields into `fields`.
//
// Outside braces: "%%" stays "%%"; other "%" placeholders are copied as
// written (read as FormatMessage reads them); "{{" writes "{", "}}" and a
// lone "}" write "}".
//
// A named placeholder "{name}" (with "{#name}" the value's type suffix is
// appended to the name unless it already ends in one of "_bool", "_int",
// "_long", "_float", "_str", "_time", "_ip"):
//   "!"        records the field but writes nothing, and drops the blanks
//              written just before it;
//   ":conv"    writes "%N$conv" instead of "%N";
//   "?alt"     writes alt, records nothing, when the value is false, 0, 0.0
//              or the empty text (":" wins when both are given);
//   "\\c"      takes c literally.
// A placeholder without a value writes nothing.
//
// Ordinary placeholders that name no position are written with an explicit
// one when FormatMessage would otherwise give them a different value than
// the numbering here, since the formatter's own sequence does not count the
// numbered placeholders that named fields become.
std::string namedTemplate(std::string_view format, std::span<const ErrorFieldValue> values, ErrorFields& fields);

}  // namespace Quor
