#pragma once
// Decoding of path captures and query keys and values.

#include <string>
#include <string_view>

namespace Quor {

// "+" becomes a space and "%" with two hexadecimal digits the byte they
// spell (either case). A "%" with fewer than two characters after it is
// dropped. A "%" followed by a character that is not a hexadecimal digit is
// kept as it is, and decoding goes on with the character after it: no byte
// of the input is lost or turned into one it does not spell.
std::string urlDecode(std::string_view text);

// Whether urlDecode would change text: it holds a "%" or a "+".
inline bool needsUrlDecoding(std::string_view text) {
  bool plain = true;
  for (const char character : text) plain &= character != '%' && character != '+';
  return !plain;
}

}  // namespace Quor
