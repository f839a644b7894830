#pragma once
// Reads JSON text into a Value.

#include "binding/value.h"

namespace Quor {

// Parses the NUL-terminated text (nothing after a NUL is seen).
//
// Objects become structures (a repeated key addresses the same member, so
// its last value wins), arrays collections, null the empty value;
// non-negative integers are unsigned, negative ones signed, numbers with a
// fraction or exponent and integers beyond 64 bits floats.
//
// Empty or whitespace-only text gives an empty value with success. On
// failure the message is "Error: <text> at offset <n>.", the offset counted
// in bytes from the start of the text. Nesting deeper than maxNestingDepth
// fails at the bracket that opens the level too many.
ValueResult parseJson(const char* text);

}  // namespace Quor
