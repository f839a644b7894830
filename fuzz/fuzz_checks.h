#pragma once
// What every fuzz target checks of a reader's result beyond "no crash": a
// failure carries its message and nothing else, and a success is a tree that
// copies, prints and frees like any other.

#include <cstdlib>

#include "binding/value.h"
#include "formats/value_text_writer.h"

namespace Quor::Fuzz {

inline void require(bool condition) {
  if (!condition) std::abort();
}

inline void checkResult(const ValueResult& result) {
  if (!result.ok()) {
    require(!result.error().empty());
    require(result.value().kind() == ValueKind::Structure && result.value().size() == 1);
    return;
  }
  const Value copy = result.value();
  require(valueToText(copy, ValueTextStyle::Typed) == valueToText(result.value(), ValueTextStyle::Typed));
}

}  // namespace Quor::Fuzz
