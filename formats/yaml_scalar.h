#pragma once
// How a YAML scalar value becomes a Value: by its tag, or for untagged plain
// scalars by the text itself.

#include <string>
#include <string_view>

#include "binding/value.h"

namespace Quor {

// The tags the reader knows, as libyaml expands "!!str" and the others.
inline constexpr std::string_view yamlStringTag = "tag:yaml.org,2002:str";
inline constexpr std::string_view yamlIntTag = "tag:yaml.org,2002:int";
inline constexpr std::string_view yamlFloatTag = "tag:yaml.org,2002:float";
inline constexpr std::string_view yamlBoolTag = "tag:yaml.org,2002:bool";

enum class YamlScalarStyle {
  Plain,
  // Single- or double-quoted, literal or folded: always text unless tagged.
  Other,
};

// Sets target from the scalar's text; tag is null for an untagged scalar.
// The text is NUL-terminated at text.size() (libyaml's buffer) and may
// contain NUL bytes of its own. False with the message in error when the
// text does not convert (tags int and float), or the tag is unknown.
//
// Tags: str gives the text; int the signed (text starting with "-") or
// unsigned 64-bit number the text spells in base 0, as the string-to-integer
// conversion reads it for target "yaml" of type int64_t / uint64_t; float the
// double the text spells, as the string-to-double conversion reads it for
// target "yaml" of type double; bool true or false for a word of the lists
// below and the empty value for any other text; any other tag fails with
// "Unsupported YAML tag '<tag>'.".
//
// Untagged plain scalars, first rule that applies:
// - "", "~", "null", "Null", "NULL": the empty value;
// - a text that the C library's strtod reads whole (decimal or hexadecimal,
//   "nan" included) and that is not infinite: float when it has a fraction,
//   else unsigned when not negative and signed when negative; an integral
//   number beyond the 64-bit ranges stays a float. Infinities of either sign
//   ("inf", "-inf", "1e999", "-1e999") are left to the rules below, so they
//   stay strings;
// - "true", "True", "TRUE", "y", "Y", "yes", "Yes", "YES", "on", "On", "ON":
//   true; "false", "False", "FALSE", "n", "N", "no", "No", "NO", "off",
//   "Off", "OFF": false;
// - anything else: the text as a string.
// Untagged scalars of every other style are strings.
bool yamlScalarToValue(const char* tag, std::string_view text, YamlScalarStyle style, Value& target,
                       std::string& error);

}  // namespace Quor
