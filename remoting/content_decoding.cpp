#include "remoting/content_decoding.h"

#include <cstring>
#include <memory>
#include <string>

#include "formats/json_reader.h"
#include "formats/msgpack_reader.h"
#include "formats/yaml_reader.h"

namespace Quor {

namespace {

bool looksLikeMessagePack(std::string_view bytes) {
  if (bytes.empty()) return false;
  const auto first = static_cast<unsigned char>(bytes.front());
  return (first >= 0x80 && first <= 0x9F) || (first >= 0xDC && first <= 0xDF);
}

std::string_view withoutLeadingSpaces(std::string_view text) {
  const std::size_t start = text.find_first_not_of(' ');
  return start == std::string_view::npos ? std::string_view() : text.substr(start);
}

bool looksLikeJson(std::string_view text) {
  const std::string_view rest = withoutLeadingSpaces(text);
  return !rest.empty() && (rest.front() == '{' || rest.front() == '[');
}

bool looksLikeYaml(std::string_view text) { return withoutLeadingSpaces(text).starts_with("---"); }

bool matchesAny(std::string_view contentType, std::span<const ContentTypeName> names) {
  for (const ContentTypeName& name : names) {
    if (contentTypeMatches(contentType, name)) return true;
  }
  return false;
}

ContentFormat chooseFormat(const ContentRules& rules, std::string_view contentType, std::string_view bytes,
                           bool structured) {
  const bool guess = rules.recognisesUntypedStructures && structured && contentType.empty();
  if (contentTypeMatches(contentType, ContentTypes::msgpack) || (guess && looksLikeMessagePack(bytes))) {
    return ContentFormat::MessagePack;
  }
  if (matchesAny(contentType, rules.jsonTypes) || (guess && looksLikeJson(bytes))) return ContentFormat::Json;
  if (contentTypeMatches(contentType, rules.yamlType) || (guess && looksLikeYaml(bytes))) return ContentFormat::Yaml;
  if (rules.unsupportedType != nullptr) return ContentFormat::Unsupported;
  return contentTypeMatches(contentType, ContentTypes::octetStream) ? ContentFormat::Bytes : ContentFormat::Text;
}

// The bytes as a NUL-terminated text for the readers of C texts: the bytes
// themselves when they hold a NUL (or, as a C text, have no length), else a
// terminated copy, on the stack for the short texts most requests carry.
class TerminatedText {
 public:
  TerminatedText(std::string_view bytes, bool mayBeCText) {
    if (bytes.empty() ? mayBeCText : std::memchr(bytes.data(), '\0', bytes.size()) != nullptr) {
      text_ = bytes.data();
      return;
    }
    char* copy = shortCopy_;
    if (bytes.size() >= sizeof shortCopy_) {
      longCopy_ = std::make_unique_for_overwrite<char[]>(bytes.size() + 1);
      copy = longCopy_.get();
    }
    std::memcpy(copy, bytes.data(), bytes.size());
    copy[bytes.size()] = '\0';
    text_ = copy;
  }
  TerminatedText(const TerminatedText&) = delete;
  TerminatedText& operator=(const TerminatedText&) = delete;
  const char* c_str() const { return text_; }

 private:
  const char* text_ = nullptr;
  char shortCopy_[512];
  std::unique_ptr<char[]> longCopy_;
};

ValueResult readMessagePack(const ContentRules& rules, std::string_view bytes) {
  MessagePackReading reading = parseMessagePack(bytes.data(), bytes.size());
  if (rules.bytesAfterMessagePack != nullptr && reading.result.ok() && reading.position < bytes.size()) {
    return ValueResult::failure(rules.bytesAfterMessagePack);
  }
  return std::move(reading.result);
}

}  // namespace

ContentDecoding decodeContent(const ContentRules& rules, std::string_view contentType, std::string_view bytes,
                              bool structured) {
  const ContentFormat format = chooseFormat(rules, contentType, bytes, structured);
  switch (format) {
    case ContentFormat::MessagePack:
      return {format, readMessagePack(rules, bytes)};
    case ContentFormat::Json:
      return {format, parseJson(TerminatedText(bytes, rules.bytesMayBeCText).c_str())};
    case ContentFormat::Yaml:
      if (rules.bytesMayBeCText) return {format, parseYaml(TerminatedText(bytes, true).c_str())};
      return {format, parseYaml(bytes)};
    case ContentFormat::Unsupported:
      return {format, ValueResult::failure(rules.unsupportedType)};
    case ContentFormat::Bytes:
    case ContentFormat::Text:
      break;
  }
  return {format, ValueResult()};
}

}  // namespace Quor
