#pragma once
// The error record of the feature and the bridge: a code, a message and
// named typed fields.

#include <cstddef>
#include <cstdint>
#include <string>

#include "binding/format_message.h"
#include "logging/error_fields.h"

namespace Quor {

struct PluginError {
  // 0 means "no code".
  std::int32_t code = 0;
  std::string message;
  ErrorFields fields;
};

// The field that mirrors a non-zero code.
inline constexpr const char* errorCodeFieldName = "errorCode_int";
// A field that alone does not turn the text form into JSON.
inline constexpr const char* errorFieldsFieldName = "errorFields_int";

// Stores a non-zero code and sets the field "errorCode_int" to it; 0 changes
// nothing.
void setCode(PluginError& error, std::int32_t code);

// The error as one text:
// - the empty text when there is no message;
// - with no field, or with "errorFields_int" as the only one: the message,
//   or "<message> (<code>)" when the code is not 0;
// - otherwise a compact JSON object, "message" first, then every field in
//   the order it was first set, e.g.
//   {"message":"Failed to delete x.lnk","errorCode_int":55}.
std::string textForm(const PluginError& error);

// A PluginError as a FormatMessage argument is written as its text form.
template <>
struct FormatArgumentTraits<PluginError> : FormatTextTraits {
  static std::size_t write(char* out, std::size_t space, const FormatConversion& conversion,
                           const PluginError& error) {
    return formatTextArgument(out, space, conversion, textForm(error));
  }
};

}  // namespace Quor
