#include "remoting/content_types.h"

namespace Quor {

namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool contentTypeMatches(std::string_view contentType, const ContentTypeName& name) {
  const std::size_t length = name.prefixLength < name.text.size() ? name.prefixLength : name.text.size();
  if (contentType.size() < length) return false;
  for (std::size_t index = 0; index < length; ++index) {
    if (lowerAscii(contentType[index]) != lowerAscii(name.text[index])) return false;
  }
  return true;
}

}  // namespace Quor
