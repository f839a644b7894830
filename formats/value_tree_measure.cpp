#include "formats/value_tree_measure.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace Quor {

namespace {

bool isContainer(const Value& value) {
  return value.kind() == ValueKind::Collection || value.kind() == ValueKind::Structure;
}

}  // namespace

TreeMeasure measureTree(const Value& tree, std::size_t nodeBudget, std::size_t textBudget) {
  TreeMeasure measure;
  // Containers still to visit, with their height from the root (1-based).
  std::vector<std::pair<const Value*, std::size_t>> pending;
  auto addText = [&](std::size_t bytes) {
    if (bytes > textBudget - measure.textBytes) {
      measure.withinTextBudget = false;
      return false;
    }
    measure.textBytes += bytes;
    return true;
  };
  auto visit = [&](const Value& value, std::size_t level) {
    if (++measure.nodes > nodeBudget) {
      measure.withinBudget = false;
      return false;
    }
    if (isContainer(value)) {
      measure.height = std::max(measure.height, level);
      pending.emplace_back(&value, level);
      return true;
    }
    if (value.kind() == ValueKind::String) return addText(value.getString().size());
    if (value.kind() == ValueKind::Blob) return addText(value.getBlob().size());
    return true;
  };
  if (!visit(tree, 1)) return measure;
  while (!pending.empty()) {
    const auto [container, level] = pending.back();
    pending.pop_back();
    if (container->kind() == ValueKind::Collection) {
      for (const Value& element : container->elements()) {
        if (!visit(element, level + 1)) return measure;
      }
    } else {
      for (const MemberView member : container->members()) {
        if (!addText(member.name.size()) || !visit(member.value, level + 1)) return measure;
      }
    }
  }
  return measure;
}

}  // namespace Quor
