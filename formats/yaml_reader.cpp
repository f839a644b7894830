#include "formats/yaml_reader.h"

#include <yaml.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "binding/format_message.h"
#include "binding/member_order_cache.h"
#include "binding/nesting_limit.h"
#include "formats/value_builder.h"
#include "formats/value_tree_measure.h"
#include "formats/yaml_anchor_table.h"
#include "formats/yaml_scalar.h"

namespace Quor {

namespace {

constexpr const char* multiDocument = "Multi-document YAML is not supported.";
constexpr const char* invalidKey = "Invalid mapping key. Only string scalar keys are allowed. At line: %1 col: %2";
constexpr const char* unexpectedSequence = "Unexpected start of sequence. At line: %1 col: %2";
constexpr const char* unexpectedMapping = "Unexpected start of mapping. At line: %1 col: %2";
constexpr const char* cyclicAlias = "Cannot deserialize cyclic aliases. Alias \"%1\". At line: %2 col: %3";
constexpr const char* undefinedAlias = "Undefined alias encountered: \"%1\". At line: %2 col: %3";
constexpr const char* duplicateAnchor = "Duplicate occurrence of anchor \"%1\". At line: %2 col: %3";
constexpr const char* nestedTooDeeply = "The YAML document is nested deeper than %1 levels. At line: %2 col: %3";
// The limit is part of the text: the formatter fills three placeholders at most.
const std::string expandsTooFar = "YAML aliases expand to more than " + std::to_string(maxYamlAliasExpansion) +
                                  " nodes. Alias \"%1\". At line: %2 col: %3";
std::string copiesTooMuchText(std::size_t budget) {
  return "YAML aliases copy more than " + std::to_string(budget) + " bytes of text. Alias \"%1\". At line: %2 col: %3";
}
constexpr const char* parserError = "YAML parser error: %1. At line: %2 col: %3";

// libyaml's parser for the reading's lifetime.
class Parser {
 public:
  explicit Parser(std::string_view text) {
    ready_ = yaml_parser_initialize(&parser_) != 0;
    if (!ready_) return;
    yaml_parser_set_encoding(&parser_, YAML_UTF8_ENCODING);
    yaml_parser_set_input_string(&parser_, reinterpret_cast<const unsigned char*>(text.data()), text.size());
  }
  ~Parser() {
    if (ready_) yaml_parser_delete(&parser_);
  }
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;

  bool ready() const { return ready_; }
  yaml_parser_t* get() { return &parser_; }

 private:
  yaml_parser_t parser_;
  bool ready_ = false;
};

// One event, released when it goes out of scope. Of an event that holds
// nothing (never filled, or given away) only the type is read.
class Event {
 public:
  Event() { event_.type = YAML_NO_EVENT; }
  // An event the parser fills at once: yaml_parser_parse clears it first,
  // whatever it then answers.
  struct Parsed {};
  explicit Event(Parsed) {}
  ~Event() { release(); }
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  // Moving keeps the event's texts where they are.
  Event(Event&& other) noexcept : event_(other.event_) { other.event_.type = YAML_NO_EVENT; }
  Event& operator=(Event&& other) noexcept {
    adopt(other);
    return *this;
  }

  yaml_event_t* get() { return &event_; }
  const yaml_event_t& operator*() const { return event_; }

  // Takes over other's event, releasing the one held so far.
  void adopt(Event& other) {
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

std::string_view textOf(const yaml_char_t* text) {
  return text != nullptr ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

[[gnu::cold, gnu::noinline]] std::string parserNotReady() {
  return FormatMessage(parserError, "cannot initialize the parser", std::uint64_t{0}, std::uint64_t{0});
}

[[gnu::cold, gnu::noinline]] std::string parserFailure(const yaml_parser_t& parser) {
  const char* problem = parser.problem != nullptr ? parser.problem : "out of memory";
  return FormatMessage(parserError, problem, std::uint64_t{parser.problem_mark.line},
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
bool isStringKeyTag(const yaml_char_t* tag) {
  return tag == nullptr || yamlStringTag == reinterpret_cast<const char*>(tag);
}

// Reads a document without anchors or aliases, the common case: each
// container is made in one step from its items when it closes
// (formats/value_builder.h), so no node has a place in the tree before its
// container is complete. An alias needs its anchored node at its place, so
// the first anchor or alias stops this reader, and YamlReader reads the
// document again from its start. Both give the same value and the same
// failures.
class YamlTreeReader {
 public:
  enum class Outcome { Read, Failed, HasAnchors };

  explicit YamlTreeReader(Value& root) : root_(root), builder_(root) {}

  // On Failed, error holds the message.
  Outcome read(std::string_view text, std::string& error) {
    Parser parser(text);
    if (!parser.ready()) {
      error = parserNotReady();
      return Outcome::Failed;
    }
    for (;;) {
      Event event{Event::Parsed{}};
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
          if (!isStringKeyTag(scalar.tag)) return failAt(event, error, invalidKey);
          builder_.key(text);
          keyPending_ = true;
          return Outcome::Read;
        }
        keyPending_ = false;
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
        keyPending_ = false;
        return Outcome::Read;
      case YAML_ALIAS_EVENT:
        return Outcome::HasAnchors;
      case YAML_DOCUMENT_START_EVENT:
        if (!root_.isEmpty()) {
          error = multiDocument;
          return Outcome::Failed;
        }
        return Outcome::Read;
      default:
        return Outcome::Read;
    }
  }

  // Whether the next node is the key of the innermost open mapping.
  bool expectsKey() const {
    const std::size_t depth = builder_.depth();
    return depth != 0 && isMapping_[depth - 1] && !keyPending_;
  }

  Outcome open(const yaml_event_t& event, bool isMapping, std::string& error) {
    if (expectsKey()) return failAt(event, error, isMapping ? unexpectedMapping : unexpectedSequence);
    const std::size_t depth = builder_.depth();
    if (depth >= maxNestingDepth) return failAt(event, error, nestedTooDeeply, std::uint64_t{maxNestingDepth});
    keyPending_ = false;
    isMapping_[depth] = isMapping;
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
  // Whether each open container is a mapping, outermost first.
  bool isMapping_[maxNestingDepth] = {};
  // The innermost mapping has its key and awaits the value.
  bool keyPending_ = false;
};

class YamlReader {
 public:
  YamlReader(ValueResult& result, std::size_t aliasTextBudget)
      : result_(result), root_(result.value()), aliasTextBudget_(aliasTextBudget) {
    open_.reserve(32);
  }

  void read(std::string_view text) {
    Parser parser(text);
    if (!parser.ready()) {
      result_.fail(parserNotReady());
      return;
    }
    for (;;) {
      Event event{Event::Parsed{}};
      if (yaml_parser_parse(parser.get(), event.get()) == 0) {
        result_.fail(parserFailure(*parser.get()));
        return;
      }
      if ((*event).type == YAML_STREAM_END_EVENT || !handle(event)) return;
    }
  }

 private:
  // How the target is reached from its parent; a member name is only
  // copied when a path needs it. An element's step leaves the name of an
  // earlier member behind, whose text may be gone: only a member's step
  // reads it.
  struct TargetStep {
    bool isMember = false;
    std::uint32_t index = 0;
    std::string_view name;
  };

  // An open sequence or mapping.
  struct OpenNode {
    // Sets each member once: a value-initialized node would be cleared
    // whole first, the key's event included.
    OpenNode(Value* value, bool isMapping, YamlAnchorTable::Anchor* anchor, YamlAnchorTable::PathId path)
        : value(value), isMapping(isMapping), anchor(anchor), path(path) {}

    Value* value;
    bool isMapping;
    YamlAnchorTable::Anchor* anchor;
    // Made when an anchor below needs it.
    YamlAnchorTable::PathId path;
    // How it is reached from its parent: its member name lives in the key's
    // event, held here, or (an alias used as a key) in ownedName.
    TargetStep step;
    Event key;
    bool nameOwned = false;
    std::string ownedName;
    // A sequence's elements so far.
    std::uint32_t elements = 0;

    YamlPathStep pathStep() const {
      if (!step.isMember) return YamlPathStep{false, step.index, {}};
      return YamlPathStep{true, step.index, std::string(nameOwned ? std::string_view(ownedName) : step.name)};
    }
  };

  // Fails with a message whose last two placeholders are the event's line
  // and column (1-based).
  template <class... Arguments>
  [[gnu::cold, gnu::noinline]] bool fail(const yaml_event_t& event, const char* message, const Arguments&... arguments) {
    result_.fail(messageAt(event, message, arguments...));
    return false;
  }

  bool handle(Event& held) {
    const yaml_event_t& event = *held;
    switch (event.type) {
      case YAML_DOCUMENT_START_EVENT:
        if (!root_.isEmpty()) {
          result_.fail(multiDocument);
          return false;
        }
        return true;
      case YAML_SCALAR_EVENT:
        settleTarget();
        return targetIsKey_ ? takeKey(held) : takeScalar(event);
      case YAML_SEQUENCE_START_EVENT:
        settleTarget();
        return openNode(event, false, textOf(event.data.sequence_start.anchor));
      case YAML_MAPPING_START_EVENT:
        settleTarget();
        return openNode(event, true, textOf(event.data.mapping_start.anchor));
      case YAML_SEQUENCE_END_EVENT:
      case YAML_MAPPING_END_EVENT:
        closeNode();
        return true;
      case YAML_ALIAS_EVENT:
        settleTarget();
        return takeAlias(event);
      default:
        return true;
    }
  }

  // Where the next node goes: the root, a new element of the innermost
  // sequence, the member the pending key names, or (no key pending) the
  // innermost mapping itself, which then expects a key.
  void settleTarget() {
    targetIsKey_ = false;
    if (open_.empty()) {
      target_ = &root_;
      targetIsRoot_ = true;
      return;
    }
    targetIsRoot_ = false;
    OpenNode& innermost = open_.back();
    if (!innermost.isMapping) {
      targetStep_.isMember = false;
      targetStep_.index = innermost.elements++;
      target_ = &innermost.value->appendElement();
    } else if (keyPending_) {
      keyPending_ = false;
      // Members are put in name order when the mapping closes; a repeated
      // key keeps its last value.
      target_ = &detail::appendMember(*innermost.value, pendingKey_);
      targetStep_.isMember = true;
      targetStep_.name = pendingKey_;
    } else {
      target_ = innermost.value;
      targetIsKey_ = true;
    }
  }

  // The path of the target, making the paths of its open ancestors first.
  [[gnu::noinline]] YamlAnchorTable::PathId targetPath() {
    if (targetIsRoot_) return YamlAnchorTable::rootPath;
    std::size_t first = open_.size();
    while (first > 0 && open_[first - 1].path == YamlAnchorTable::noPath) --first;
    for (std::size_t index = first; index < open_.size(); ++index) {
      open_[index].path = anchors_.addPath(open_[index - 1].path, open_[index].pathStep());
    }
    return anchors_.addPath(open_.back().path, ownedStep(targetStep_));
  }

  YamlAnchorTable::Anchor* addAnchor(const yaml_event_t& event, std::string_view name) {
    YamlAnchorTable::Anchor* anchor = anchors_.add(name);
    if (anchor == nullptr) fail(event, duplicateAnchor, name);
    return anchor;
  }

  // The key's text stays in its event, held until the next key.
  bool takeKey(Event& held) {
    const yaml_event_t& event = *held;
    if (!isStringKeyTag(event.data.scalar.tag)) return fail(event, invalidKey);
    keyEvent_.adopt(held);
    pendingKey_ = std::string_view(reinterpret_cast<const char*>((*keyEvent_).data.scalar.value),
                                   (*keyEvent_).data.scalar.length);
    keyPending_ = true;
    keyFromAlias_ = false;
    const yaml_event_t& key = *keyEvent_;
    const std::string_view anchorName = textOf(key.data.scalar.anchor);
    if (anchorName.empty()) return true;
    YamlAnchorTable::Anchor* anchor = addAnchor(key, anchorName);
    if (anchor == nullptr) return false;
    anchor->isKeyText = true;
    anchor->keyText = pendingKey_;
    return true;
  }

  bool takeScalar(const yaml_event_t& event) {
    const auto& scalar = event.data.scalar;
    const std::string_view text(reinterpret_cast<const char*>(scalar.value), scalar.length);
    const YamlScalarStyle style = scalar.style == YAML_PLAIN_SCALAR_STYLE ? YamlScalarStyle::Plain : YamlScalarStyle::Other;
    if (!yamlScalarToValue(reinterpret_cast<const char*>(scalar.tag), text, style, *target_, error_)) {
      result_.fail(error_);
      return false;
    }
    const std::string_view anchorName = textOf(scalar.anchor);
    if (anchorName.empty()) return true;
    YamlAnchorTable::Anchor* anchor = addAnchor(event, anchorName);
    if (anchor == nullptr) return false;
    anchor->path = targetPath();
    return true;
  }

  bool openNode(const yaml_event_t& event, bool isMapping, std::string_view anchorName) {
    if (targetIsKey_) return fail(event, isMapping ? unexpectedMapping : unexpectedSequence);
    if (open_.size() >= maxNestingDepth) return fail(event, nestedTooDeeply, std::uint64_t{maxNestingDepth});
    Value& node = *target_;
    // A repeated key gets a new container rather than merging into the old.
    // Most containers are small: room for a few items comes in the block of
    // the container's header.
    if (isMapping) {
      detail::makeStructureWithRoom(node, detail::membersInHeaderBlock);
    } else {
      detail::makeCollectionWithRoom(node, detail::elementsInHeaderBlock);
    }
    YamlAnchorTable::Anchor* anchor = nullptr;
    YamlAnchorTable::PathId path = targetIsRoot_ ? YamlAnchorTable::rootPath : YamlAnchorTable::noPath;
    if (!anchorName.empty()) {
      anchor = addAnchor(event, anchorName);
      if (anchor == nullptr) return false;
      path = targetPath();
      anchor->path = path;
      anchor->open = true;
    }
    OpenNode& opened = open_.emplace_back(&node, isMapping, anchor, path);
    if (!targetIsRoot_) {
      opened.step = targetStep_;
      // The member name stays readable as long as the node is open.
      if (!targetStep_.isMember) {
      } else if (keyFromAlias_) {
        opened.nameOwned = true;
        opened.ownedName = targetStep_.name;
      } else {
        opened.key = std::move(keyEvent_);
      }
    }
    return true;
  }

  void closeNode() {
    if (open_.empty()) return;
    OpenNode& closing = open_.back();
    if (closing.anchor != nullptr) closing.anchor->open = false;
    if (closing.isMapping) detail::finishMembers(*closing.value, &memberOrders_);
    detail::releaseUnusedRoom(*closing.value);
    open_.pop_back();
    keyPending_ = false;
  }

  // What an alias stands for: an anchored key's text, or a node.
  struct Aliased {
    const std::string* keyText = nullptr;
    const Value* node = nullptr;
  };

  // False after failing.
  bool resolveAlias(const yaml_event_t& event, std::string_view name, Aliased& aliased) {
    YamlAnchorTable::Anchor* anchor = anchors_.find(name);
    if (anchor != nullptr && anchor->open) return fail(event, cyclicAlias, name);
    if (anchor == nullptr) return fail(event, undefinedAlias, name);
    if (anchor->isKeyText) {
      aliased.keyText = &anchor->keyText;
      return true;
    }
    std::size_t steps = 0;
    // A key's alias fills no member: its target is the mapping itself.
    aliased.node = anchors_.resolve(anchor->path, root_, steps, targetIsKey_ ? nullptr : target_);
    if (aliased.node == nullptr) return fail(event, undefinedAlias, name);
    // A repeated key may have put an open node where the anchored one was.
    if (steps < open_.size() && open_[steps].value == aliased.node) return fail(event, cyclicAlias, name);
    return true;
  }

  [[gnu::noinline]] bool takeAlias(const yaml_event_t& event) {
    const std::string_view name = textOf(event.data.alias.anchor);
    Aliased aliased;
    if (!resolveAlias(event, name, aliased)) return false;

    if (targetIsKey_) {
      std::string_view key;
      if (aliased.keyText != nullptr) {
        key = *aliased.keyText;
      } else if (aliased.node->kind() == ValueKind::String) {
        key = aliased.node->getString();
      } else {
        return fail(event, invalidKey);
      }
      if (!chargeText(key.size())) return failCopiedText(event, name);
      aliasKey_.assign(key);
      pendingKey_ = aliasKey_;
      keyPending_ = true;
      keyFromAlias_ = true;
      return true;
    }

    const std::size_t budget = maxYamlAliasExpansion - copiedNodes_;
    if (aliased.keyText != nullptr) {
      if (budget == 0) return fail(event, expandsTooFar.c_str(), name);
      if (!chargeText(aliased.keyText->size())) return failCopiedText(event, name);
      ++copiedNodes_;
      target_->setString(*aliased.keyText);
      return true;
    }
    const TreeMeasure measure = measureTree(*aliased.node, budget, aliasTextBudget_ - copiedText_);
    if (!measure.withinBudget) return fail(event, expandsTooFar.c_str(), name);
    if (!measure.withinTextBudget) return failCopiedText(event, name);
    if (open_.size() + measure.height > maxNestingDepth) {
      return fail(event, nestedTooDeeply, std::uint64_t{maxNestingDepth});
    }
    copiedNodes_ += measure.nodes;
    copiedText_ += measure.textBytes;
    *target_ = *aliased.node;
    return true;
  }

  bool failCopiedText(const yaml_event_t& event, std::string_view alias) {
    return fail(event, copiesTooMuchText(aliasTextBudget_).c_str(), alias);
  }

  // Counts text an alias copies; false past the budget.
  bool chargeText(std::size_t bytes) {
    if (bytes > aliasTextBudget_ - copiedText_) return false;
    copiedText_ += bytes;
    return true;
  }

  ValueResult& result_;
  Value& root_;
  // Holds references into the root's store, which outlives the reader.
  detail::MemberOrderCache memberOrders_;
  std::vector<OpenNode> open_;
  YamlAnchorTable anchors_;

  static YamlPathStep ownedStep(const TargetStep& step) {
    if (!step.isMember) return YamlPathStep{false, step.index, {}};
    return YamlPathStep{true, step.index, std::string(step.name)};
  }

  Value* target_ = nullptr;
  bool targetIsKey_ = false;
  bool targetIsRoot_ = false;
  TargetStep targetStep_;

  // A key read and not yet given its value; may be empty. Its text lives in
  // the key's event, or for an alias used as a key in aliasKey_.
  std::string_view pendingKey_;
  bool keyPending_ = false;
  Event keyEvent_;
  std::string aliasKey_;
  bool keyFromAlias_ = false;

  const std::size_t aliasTextBudget_;
  std::size_t copiedNodes_ = 0;
  std::size_t copiedText_ = 0;
  std::string error_;
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

ValueResult detail::parseYamlInPlace(std::string_view text) {
  ValueResult result;
  YamlReader reader(result, yamlAliasTextBudget(text.size()));
  reader.read(text);
  return result;
}

ValueResult parseYaml(const char* text) { return parseYaml(std::string_view(text != nullptr ? text : "")); }

}  // namespace Quor
