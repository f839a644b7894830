#pragma once
// Matching a file name against a wildcard pattern, the name filter of a walk.

#include <string_view>

#include "platform/lead_bytes.h"

namespace Quor {

// Whether the whole of `name` matches the whole of `pattern`: "*" matches any
// run of characters (the empty run included), "?" exactly one character, and
// every other character itself with the case of ASCII letters ignored. Both
// texts are in the code page of `leadBytes`, so "?" takes a two-byte character
// whole and the second byte of a character is never compared on its own.
bool wildcardMatch(std::string_view name, std::string_view pattern, const LeadBytes& leadBytes);

}  // namespace Quor
