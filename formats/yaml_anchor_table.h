#pragma once
// The anchors of a YAML document: which name stands for which node, and
// whether that node is still being read.
//
// An anchored node is recorded as its path from the root, not as its
// address: elements move in memory while their collection grows. Paths
// share their common beginnings in one tree of steps, so deep documents with
// many anchors cost one step per node rather than one path per anchor.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "binding/value.h"

namespace Quor {

// How a node is reached from its parent: an element index or a member name.
struct YamlPathStep {
  bool isMember = false;
  std::uint32_t index = 0;
  std::string name;
};

class YamlAnchorTable {
 public:
  using PathId = std::int32_t;
  // The path of the root node (no steps).
  static constexpr PathId rootPath = 0;
  static constexpr PathId noPath = -1;

  struct Anchor {
    // An anchored mapping key stands for its text; any other anchored node
    // for the node at its path.
    bool isKeyText = false;
    std::string keyText;
    PathId path = noPath;
    // Set while the anchored node is still being read.
    bool open = false;
  };

  YamlAnchorTable();

  // The path one step below parent.
  PathId addPath(PathId parent, const YamlPathStep& step);

  // A new anchor of that name; null when the name is recorded already.
  Anchor* add(std::string_view name);
  // The anchor of that name, or null.
  Anchor* find(std::string_view name);

  // The node the path leads to from root, or null when a step no longer
  // leads anywhere (a repeated key replaced a container on the way).
  // steps receives the length of the path. A mapping still being read keeps
  // a repeated key's members apart until it closes; the one given no value
  // yet, `filling`, is passed over, as the member it repeats stands there
  // until then.
  const Value* resolve(PathId path, const Value& root, std::size_t& steps, const Value* filling);

 private:
  struct PathNode {
    PathId parent;
    YamlPathStep step;
  };
  std::vector<PathNode> paths_;
  std::unordered_map<std::string, Anchor> anchors_;
  std::vector<const YamlPathStep*> walk_;
};

}  // namespace Quor
