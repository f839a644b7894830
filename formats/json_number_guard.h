#pragma once
// Keeps numbers with huge negative exponents away from the JSON tokenizer's
// number scaling. In RapidJSON 1.1.0 the sum of such an exponent and the
// count of fraction digits wraps around and indexes the power-of-ten table
// far out of range (CVE-2024-38517).

#include <cstddef>
#include <string>

namespace Quor {

// When the text (of that length, with a NUL there) holds, outside strings, a
// number whose negative exponent is 10000 or more, copies the text into
// `rewritten` with each such exponent turned into 9999 (leading zeros keep
// every offset) and returns true; otherwise returns false and leaves
// `rewritten` alone.
//
// The value does not change: a mantissa the tokenizer accepts stays below
// 1e310, so such a number is below the smallest double either way and reads
// as 0 with its sign. An exponent of 9999 cannot wrap for any text below
// 2 GiB.
bool rewriteHugeNegativeExponents(const char* text, std::size_t length, std::string& rewritten);

}  // namespace Quor
