#include "remoting/url_decode.h"

namespace Quor {

namespace {

int hexadecimalDigit(char character) {
  if (character >= '0' && character <= '9') return character - '0';
  if (character >= 'a' && character <= 'f') return character - 'a' + 10;
  if (character >= 'A' && character <= 'F') return character - 'A' + 10;
  return -1;
}

}  // namespace

std::string urlDecode(std::string_view text) {
  // Most path groups and query texts hold nothing to decode: one copy.
  if (!needsUrlDecoding(text)) return std::string(text);
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t index = 0; index < text.size(); ++index) {
    const char character = text[index];
    if (character == '+') {
      decoded += ' ';
    } else if (character != '%') {
      decoded += character;
    } else if (index + 2 < text.size()) {
      const int high = hexadecimalDigit(text[index + 1]);
      const int low = hexadecimalDigit(text[index + 2]);
      if (high < 0 || low < 0) {
        decoded += '%';
      } else {
        decoded += static_cast<char>((high << 4) | low);
        index += 2;
      }
    }
    // A "%" too close to the end is dropped; what follows it is copied.
  }
  return decoded;
}

}  // namespace Quor
