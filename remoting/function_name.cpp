#include "remoting/function_name.h"

#include <cstring>

#include "remoting/request_method.h"

namespace Quor {

namespace {

char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool isSeparator(char c) {
  return c == '!' || c == '+' || c == '-' || c == '.' || c == '/' || c == '_';
}

}  // namespace

std::string functionNameFor(std::uint32_t methodCode, std::string_view path) {
  const char* method = methodName(methodCode);
  std::string text;
  const std::size_t methodLength = std::strlen(method);
  text.reserve(methodLength + 1 + path.size());
  if (methodLength != 0) {
    text += method[0];
    for (std::size_t index = 1; index < methodLength; ++index) text += lowerAscii(method[index]);
    text += '/';
  }
  text += path;

  std::string name;
  name.reserve(text.size() + 8);
  bool upperNext = true;
  for (const char c : text) {
    if (isSeparator(c)) {
      upperNext = true;
    } else if (c == '{') {
      name += "By";
      upperNext = true;
    } else if (c == '}') {
      // Dropped; the character after it is written as it is.
    } else {
      name += upperNext ? upperAscii(c) : c;
      upperNext = false;
    }
  }
  return name;
}

}  // namespace Quor
