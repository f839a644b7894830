#pragma once
// The size and height of a Value tree, measured without recursion and without
// walking further than a caller's budget of nodes.

#include <cstddef>

#include "binding/value.h"

namespace Quor {

struct TreeMeasure {
  // Every value of the tree, the root included; stops counting once past the
  // budget.
  std::size_t nodes = 0;
  // Collections and structures on the longest path from the root, the root
  // included: 0 for a scalar, 1 for a flat container.
  std::size_t height = 0;
  bool withinBudget = true;
};

// Measures tree; when it holds more than nodeBudget values the walk stops
// early with withinBudget false (and nodes, height as far as counted).
TreeMeasure measureTree(const Value& tree, std::size_t nodeBudget);

}  // namespace Quor
