#pragma once
// What both YAML readers share: libyaml's parser and events held for a
// reading, and the messages of the failures both report. Only the readers
// include it (formats/yaml_reader.cpp, formats/yaml_in_place_reader.cpp).

#include <yaml.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "binding/format_message.h"
#include "formats/yaml_scalar.h"

namespace Quor::detail {

inline constexpr const char* yamlMultiDocument = "Multi-document YAML is not supported.";
inline constexpr const char* yamlInvalidKey =
    "Invalid mapping key. Only string scalar keys are allowed. At line: %1 col: %2";
inline constexpr const char* yamlUnexpectedSequence = "Unexpected start of sequence. At line: %1 col: %2";
inline constexpr const char* yamlUnexpectedMapping = "Unexpected start of mapping. At line: %1 col: %2";
inline constexpr const char* yamlNestedTooDeeply =
    "The YAML document is nested deeper than %1 levels. At line: %2 col: %3";
inline constexpr const char* yamlParserError = "YAML parser error: %1. At line: %2 col: %3";

// libyaml's parser for the reading's lifetime.
class YamlParser {
 public:
  explicit YamlParser(std::string_view text) {
    ready_ = yaml_parser_initialize(&parser_) != 0;
    if (!ready_) return;
    yaml_parser_set_encoding(&parser_, YAML_UTF8_ENCODING);
    yaml_parser_set_input_string(&parser_, reinterpret_cast<const unsigned char*>(text.data()), text.size());
  }
  ~YamlParser() {
    if (ready_) yaml_parser_delete(&parser_);
  }
  YamlParser(const YamlParser&) = delete;
  YamlParser& operator=(const YamlParser&) = delete;

  bool ready() const { return ready_; }
  yaml_parser_t* get() { return &parser_; }

 private:
  yaml_parser_t parser_;
  bool ready_ = false;
};

// One event, released when it goes out of scope. Of an event that holds
// nothing (never filled, or given away) only the type is read.
class YamlEvent {
 public:
  YamlEvent() { event_.type = YAML_NO_EVENT; }
  // An event the parser fills at once: yaml_parser_parse clears it first,
  // whatever it then answers.
  struct Parsed {};
  explicit YamlEvent(Parsed) {}
  ~YamlEvent() { release(); }
  YamlEvent(const YamlEvent&) = delete;
  YamlEvent& operator=(const YamlEvent&) = delete;
  // Moving keeps the event's texts where they are.
  YamlEvent(YamlEvent&& other) noexcept : event_(other.event_) { other.event_.type = YAML_NO_EVENT; }
  YamlEvent& operator=(YamlEvent&& other) noexcept {
    adopt(other);
    return *this;
  }

  yaml_event_t* get() { return &event_; }
  const yaml_event_t& operator*() const { return event_; }

  // Takes over other's event, releasing the one held so far.
  void adopt(YamlEvent& other) {
    release();
    event_ = other.event_;
    other.event_.type = YAML_NO_EVENT;
  }

 private:
  // Passing over an event that holds nothing spares libyaml's release a
  // branch it would mispredict among the real events.
  void release() {
    if (event_.type != YAML_NO_EVENT) yaml_event_delete(&event_);
  }

  yaml_event_t event_;
};

inline std::string_view textOf(const yaml_char_t* text) {
  return text != nullptr ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

[[gnu::cold, gnu::noinline]] inline std::string parserNotReady() {
  return FormatMessage(yamlParserError, "cannot initialize the parser", std::uint64_t{0}, std::uint64_t{0});
}

[[gnu::cold, gnu::noinline]] inline std::string parserFailure(const yaml_parser_t& parser) {
  const char* problem = parser.problem != nullptr ? parser.problem : "out of memory";
  return FormatMessage(yamlParserError, problem, std::uint64_t{parser.problem_mark.line},
                       std::uint64_t{parser.problem_mark.column});
}

// A message whose last two placeholders are the event's line and column
// (1-based).
template <class... Arguments>
[[gnu::cold, gnu::noinline]] std::string messageAt(const yaml_event_t& event, const char* message,
                                                   const Arguments&... arguments) {
  return FormatMessage(message, arguments..., std::uint64_t{event.start_mark.line} + 1,
                       std::uint64_t{event.start_mark.column} + 1);
}

// Whether a key's tag lets it name a member: none, or the string tag.
inline bool isStringKeyTag(const yaml_char_t* tag) {
  return tag == nullptr || yamlStringTag == reinterpret_cast<const char*>(tag);
}

}  // namespace Quor::detail
