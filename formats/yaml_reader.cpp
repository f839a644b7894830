#include "formats/yaml_reader.h"

#include <string>

#include "binding/nesting_limit.h"
#include "formats/value_builder.h"
#include "formats/yaml_events.h"
#include "formats/yaml_scalar.h"

namespace Quor {

namespace {

using namespace detail;

// Reads a document without anchors or aliases, the common case: each
// container is made in one step from its items when it closes
// (formats/value_builder.h), so no node has a place in the tree before its
// container is complete. An alias needs its anchored node at its place, so
// the first anchor or alias stops this reader, and the in-place reader
// (formats/yaml_in_place_reader.cpp) reads the document again from its
// start. Both give the same value and the same failures.
class YamlTreeReader {
 public:
  enum class Outcome { Read, Failed, HasAnchors };

  explicit YamlTreeReader(Value& root) : root_(root), builder_(root) {}

  // On Failed, error holds the message.
  Outcome read(std::string_view text, std::string& error) {
    YamlParser parser(text);
    if (!parser.ready()) {
      error = parserNotReady();
      return Outcome::Failed;
    }
    for (;;) {
      YamlEvent event{YamlEvent::Parsed{}};
      if (yaml_parser_parse(parser.get(), event.get()) == 0) {
        error = parserFailure(*parser.get());
        return Outcome::Failed;
      }
      const Outcome outcome = handle(*event, error);
      if (outcome != Outcome::Read) return outcome;
      if ((*event).type == YAML_STREAM_END_EVENT) return Outcome::Read;
    }
  }

 private:
  // Read: go on.
  Outcome handle(const yaml_event_t& event, std::string& error) {
    switch (event.type) {
      case YAML_SCALAR_EVENT: {
        const auto& scalar = event.data.scalar;
        if (scalar.anchor != nullptr) return Outcome::HasAnchors;
        const std::string_view text(reinterpret_cast<const char*>(scalar.value), scalar.length);
        if (expectsKey()) {
          if (!isStringKeyTag(scalar.tag)) return failAt(event, error, yamlInvalidKey);
          builder_.key(text);
          return Outcome::Read;
        }
        const YamlScalarStyle style =
            scalar.style == YAML_PLAIN_SCALAR_STYLE ? YamlScalarStyle::Plain : YamlScalarStyle::Other;
        if (!yamlScalarToValue(reinterpret_cast<const char*>(scalar.tag), text, style, builder_.slot(), error)) {
          return Outcome::Failed;
        }
        return Outcome::Read;
      }
      case YAML_MAPPING_START_EVENT:
        if (event.data.mapping_start.anchor != nullptr) return Outcome::HasAnchors;
        return open(event, true, error);
      case YAML_SEQUENCE_START_EVENT:
        if (event.data.sequence_start.anchor != nullptr) return Outcome::HasAnchors;
        return open(event, false, error);
      case YAML_MAPPING_END_EVENT:
      case YAML_SEQUENCE_END_EVENT:
        if (builder_.depth() != 0) builder_.end();
        return Outcome::Read;
      case YAML_ALIAS_EVENT:
        return Outcome::HasAnchors;
      case YAML_DOCUMENT_START_EVENT:
        if (!root_.isEmpty()) {
          error = yamlMultiDocument;
          return Outcome::Failed;
        }
        return Outcome::Read;
      default:
        return Outcome::Read;
    }
  }

  // Whether the next node is the key of the innermost open mapping.
  bool expectsKey() const { return builder_.expectsKey(); }

  Outcome open(const yaml_event_t& event, bool isMapping, std::string& error) {
    if (expectsKey()) return failAt(event, error, isMapping ? yamlUnexpectedMapping : yamlUnexpectedSequence);
    if (builder_.depth() >= maxNestingDepth) {
      return failAt(event, error, yamlNestedTooDeeply, std::uint64_t{maxNestingDepth});
    }
    if (isMapping) {
      builder_.beginStructure();
    } else {
      builder_.beginCollection();
    }
    return Outcome::Read;
  }

  template <class... Arguments>
  static Outcome failAt(const yaml_event_t& event, std::string& error, const char* message,
                        const Arguments&... arguments) {
    error = messageAt(event, message, arguments...);
    return Outcome::Failed;
  }

  Value& root_;
  ValueBuilder builder_;
};

}  // namespace

ValueResult parseYaml(std::string_view text) {
  ValueResult result;
  std::string error;
  YamlTreeReader::Outcome outcome;
  {
    // The builder holds items of the result's store until it is gone.
    YamlTreeReader reader(result.value());
    outcome = reader.read(text, error);
  }
  switch (outcome) {
    case YamlTreeReader::Outcome::Read:
      return result;
    case YamlTreeReader::Outcome::Failed:
      result.fail(error);
      return result;
    case YamlTreeReader::Outcome::HasAnchors:
      break;
  }
  return detail::parseYamlInPlace(text);
}

ValueResult parseYaml(const char* text) { return parseYaml(std::string_view(text != nullptr ? text : "")); }

}  // namespace Quor
