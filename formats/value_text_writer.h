#pragma once
// A Value as compact JSON text, members in the value's own (name) order.

#include <string>

#include "binding/value.h"

namespace Quor {

enum class ValueTextStyle {
  // Plain JSON: empty as null, numbers as JSON numbers (NaN and the
  // infinities as null), a blob as its base64 text in a string, an enum as
  // its number.
  Json,
  // JSON with every scalar tagged by its kind, so that signed, unsigned and
  // float are told apart: i:<n>, u:<n>, f:<shortest round-trip text> (f:nan,
  // f:inf, f:-inf), b:<base64>, e:<number>; empty, bool and string as in
  // JSON. Example: {"a":u:1,"b":[i:-2,f:2.5,null]}
  Typed,
};

std::string valueToText(const Value& value, ValueTextStyle style);

}  // namespace Quor
