#pragma once
// Builds a PluginError from a code, a message template and its values.

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "binding/format_message.h"
#include "logging/error_fields.h"
#include "logging/named_template.h"
#include "logging/plugin_error.h"

namespace Quor {

namespace detail {

template <class T>
ErrorFieldValue toErrorFieldValue(const T& value) {
  using Type = std::remove_cvref_t<T>;
  if constexpr (std::is_same_v<Type, bool>) {
    return value;
  } else if constexpr (std::is_same_v<Type, PluginError>) {
    return textForm(value);
  } else if constexpr (std::is_floating_point_v<Type>) {
    return static_cast<double>(value);
  } else if constexpr (std::signed_integral<Type>) {
    return static_cast<std::int64_t>(value);
  } else if constexpr (std::unsigned_integral<Type>) {
    return static_cast<std::uint64_t>(value);
  } else if constexpr (std::is_array_v<Type>) {
    // A character array: up to its first NUL, never beyond the array.
    std::size_t length = 0;
    while (length < std::extent_v<Type> && value[length] != '\0') ++length;
    return std::string(value, length);
  } else if constexpr (std::is_pointer_v<Type>) {
    // C texts; a null one is "(null)", as the formatter writes it.
    return value != nullptr ? std::string(value) : std::string("(null)");
  } else {
    return std::string(std::string_view(value));
  }
}

// Fills the positional template; the formatter never fails.
std::string formatPositional(std::string_view format, const FormatArgument* arguments, std::size_t count);

}  // namespace detail

// setCode(code), then the named template step (recording the fields), then
// FormatMessage over the result with the same values gives the message. A
// template without named placeholders passes through unchanged:
// makeError(55, "Failed to delete %s", path) has the message
// "Failed to delete <path>" and the field "errorCode_int" = 55.
template <class... Values>
PluginError makeError(std::int32_t code, std::string_view format, const Values&... values) {
  PluginError error;
  setCode(error, code);
  const std::array<ErrorFieldValue, sizeof...(Values)> fieldValues{detail::toErrorFieldValue(values)...};
  const std::string positional = namedTemplate(format, fieldValues, error.fields);
  const std::array<FormatArgument, sizeof...(Values)> arguments{makeFormatArgument(values)...};
  error.message = detail::formatPositional(positional, arguments.data(), arguments.size());
  return error;
}

}  // namespace Quor
