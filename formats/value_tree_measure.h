#pragma once
// The size, text and height of a Value tree, measured without recursion and
// without walking further than a caller's budgets.

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
  // Bytes of every string, blob and member name; stops counting once past
  // the budget.
  std::size_t textBytes = 0;
  bool withinBudget = true;
  bool withinTextBudget = true;
};

// Measures tree; when it holds more than nodeBudget values, or more than
// textBudget bytes of text, the walk stops early with withinBudget or
// withinTextBudget false (and the rest as far as counted).
TreeMeasure measureTree(const Value& tree, std::size_t nodeBudget, std::size_t textBudget);

}  // namespace Quor
