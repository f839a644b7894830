#pragma once
// The one way from what a request carries (an argument's text or a body) down
// to the readers: the format is chosen by the content type and, where the
// rules allow, by the first bytes, and the reader of that format is called.
// Arguments and bodies differ only in their ContentRules.

#include <span>
#include <string_view>

#include "binding/value.h"
#include "remoting/content_types.h"

namespace Quor {

enum class ContentFormat { MessagePack, Json, Yaml, Bytes, Text, Unsupported };

struct ContentRules {
  // Content types read as JSON, and the one read as YAML. MessagePack is
  // "application/x-msgpack..." for both kinds of input.
  std::span<const ContentTypeName> jsonTypes;
  ContentTypeName yamlType;
  // A structured value without a content type is recognised by its first
  // bytes: 0x80-0x9F or 0xDC-0xDF MessagePack, "{" or "[" after leading
  // spaces JSON, "---" after leading spaces YAML.
  bool recognisesUntypedStructures;
  // Bytes left after a MessagePack value fail with this message; null
  // ignores them.
  const char* bytesAfterMessagePack;
  // Any other content type fails with this message; null takes it as raw
  // bytes: "application/octet-stream..." a blob, anything else a string.
  const char* unsupportedType;
  // The bytes may be a NUL-terminated text, as a core's body is: JSON and
  // YAML end at the first NUL, and a length of 0 means the text runs to its
  // NUL. Otherwise YAML reads all the bytes (JSON, a C text, still ends at a
  // NUL).
  bool bytesMayBeCText;
};

struct ContentDecoding {
  ContentFormat format;
  // MessagePack, JSON, YAML: the value or the failure. Bytes, Text: an empty
  // success, the caller keeps the bytes as they are. Unsupported: the rules'
  // failure.
  ValueResult result;
};

ContentDecoding decodeContent(const ContentRules& rules, std::string_view contentType, std::string_view bytes,
                              bool structured);

}  // namespace Quor
