// The YAML reader that keeps every node at its place in the tree as it
// reads, so that an alias can copy the node its anchor names: parseYaml
// turns to it at a document's first anchor or alias. Documents with anchors
// are few and mostly small, so it is built for size
// (cmake/QcpSizeFlags.cmake).

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "binding/member_order_cache.h"
#include "binding/nesting_limit.h"
#include "formats/value_tree_measure.h"
#include "formats/yaml_anchor_table.h"
#include "formats/yaml_events.h"
#include "formats/yaml_reader.h"
#include "formats/yaml_scalar.h"

namespace Quor {

namespace {

using namespace detail;

constexpr const char* cyclicAlias = "Cannot deserialize cyclic aliases. Alias \"%1\". At line: %2 col: %3";
constexpr const char* undefinedAlias = "Undefined alias encountered: \"%1\". At line: %2 col: %3";
constexpr const char* duplicateAnchor = "Duplicate occurrence of anchor \"%1\". At line: %2 col: %3";
// The limit is part of the text: the formatter fills three placeholders at most.
const std::string expandsTooFar = "YAML aliases expand to more than " + std::to_string(maxYamlAliasExpansion) +
                                  " nodes. Alias \"%1\". At line: %2 col: %3";
std::string copiesTooMuchText(std::size_t budget) {
  return "YAML aliases copy more than " + std::to_string(budget) + " bytes of text. Alias \"%1\". At line: %2 col: %3";
}

class YamlReader {
 public:
  YamlReader(ValueResult& result, std::size_t aliasTextBudget)
      : result_(result), root_(result.value()), aliasTextBudget_(aliasTextBudget) {
    open_.reserve(32);
  }

  void read(std::string_view text) {
    YamlParser parser(text);
    if (!parser.ready()) {
      result_.fail(parserNotReady());
      return;
    }
    for (;;) {
      YamlEvent event{YamlEvent::Parsed{}};
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
    YamlEvent key;
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

  bool handle(YamlEvent& held) {
    const yaml_event_t& event = *held;
    switch (event.type) {
      case YAML_DOCUMENT_START_EVENT:
        if (!root_.isEmpty()) {
          result_.fail(yamlMultiDocument);
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
  bool takeKey(YamlEvent& held) {
    const yaml_event_t& event = *held;
    if (!isStringKeyTag(event.data.scalar.tag)) return fail(event, yamlInvalidKey);
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
    if (targetIsKey_) return fail(event, isMapping ? yamlUnexpectedMapping : yamlUnexpectedSequence);
    if (open_.size() >= maxNestingDepth) return fail(event, yamlNestedTooDeeply, std::uint64_t{maxNestingDepth});
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
        return fail(event, yamlInvalidKey);
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
      return fail(event, yamlNestedTooDeeply, std::uint64_t{maxNestingDepth});
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
  YamlEvent keyEvent_;
  std::string aliasKey_;
  bool keyFromAlias_ = false;

  const std::size_t aliasTextBudget_;
  std::size_t copiedNodes_ = 0;
  std::size_t copiedText_ = 0;
  std::string error_;
};

}  // namespace

ValueResult detail::parseYamlInPlace(std::string_view text) {
  ValueResult result;
  YamlReader reader(result, yamlAliasTextBudget(text.size()));
  reader.read(text);
  return result;
}

}  // namespace Quor
