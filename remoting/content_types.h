#pragma once
// The content-type names the remoting layer decodes by. A content type
// matches a name when it starts with the name's first prefixLength
// characters, compared without regard to case ("Application/JSON;
// charset=utf-8" is JSON).

#include <cstddef>
#include <string_view>

namespace Quor {

struct ContentTypeName {
  std::string_view text;
  std::size_t prefixLength;
};

namespace ContentTypes {

inline constexpr ContentTypeName json{"application/json", 16};
inline constexpr ContentTypeName jsonApi{"application/vnd.api+json", 24};  // request bodies only
inline constexpr ContentTypeName yaml{"application/x-yaml", 18};           // request bodies
inline constexpr ContentTypeName yamlText{"text/x-yaml", 11};              // argument texts
inline constexpr ContentTypeName msgpack{"application/x-msgpack", 21};     // also "application/x-msgpack-ext"
inline constexpr ContentTypeName msgpackExt{"application/x-msgpack-ext", 25};
inline constexpr ContentTypeName octetStream{"application/octet-stream", 24};  // raw bytes, become a blob

}  // namespace ContentTypes

// Inline: most texts a request carries have no content type, and each is
// checked against several names on its way to being a plain text.
inline bool contentTypeMatches(std::string_view contentType, const ContentTypeName& name) {
  const std::size_t length = name.prefixLength < name.text.size() ? name.prefixLength : name.text.size();
  if (contentType.size() < length) return false;
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (std::size_t index = 0; index < length; ++index) {
    if (lower(contentType[index]) != lower(name.text[index])) return false;
  }
  return true;
}

}  // namespace Quor
