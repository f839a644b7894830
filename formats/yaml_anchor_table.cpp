#include "formats/yaml_anchor_table.h"

namespace Quor {

YamlAnchorTable::YamlAnchorTable() { paths_.push_back(PathNode{noPath, {}}); }

YamlAnchorTable::PathId YamlAnchorTable::addPath(PathId parent, const YamlPathStep& step) {
  paths_.push_back(PathNode{parent, step});
  return static_cast<PathId>(paths_.size() - 1);
}

YamlAnchorTable::Anchor* YamlAnchorTable::add(std::string_view name) {
  const auto [position, added] = anchors_.try_emplace(std::string(name));
  return added ? &position->second : nullptr;
}

YamlAnchorTable::Anchor* YamlAnchorTable::find(std::string_view name) {
  const auto found = anchors_.find(std::string(name));
  return found != anchors_.end() ? &found->second : nullptr;
}

const Value* YamlAnchorTable::resolve(PathId path, const Value& root, std::size_t& steps, const Value* filling) {
  walk_.clear();
  for (PathId at = path; at != rootPath; at = paths_[static_cast<std::size_t>(at)].parent) {
    walk_.push_back(&paths_[static_cast<std::size_t>(at)].step);
  }
  steps = walk_.size();
  const Value* node = &root;
  for (auto step = walk_.rbegin(); step != walk_.rend(); ++step) {
    const YamlPathStep& next = **step;
    if (next.isMember) {
      // A mapping still being read may hold it too.
      node = detail::findMember(*node, next.name, filling);
      if (node == nullptr) return nullptr;
    } else {
      if (node->kind() != ValueKind::Collection || next.index >= node->size()) return nullptr;
      node = &node->elements()[next.index];
    }
  }
  return node;
}

}  // namespace Quor
