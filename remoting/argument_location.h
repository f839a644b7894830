#pragma once
// Where the value of a bound function's parameter may come from.

#include <cstdint>

namespace Quor {

enum class ArgumentLocation : std::uint32_t {
  Any = 0,
  Query = 1,
  Path = 2,
  Unread = 3,  // has no source in the dispatcher
  Header = 4,
  Body = 5,
};

// The code as written into endpoint records: 1 to 5, anything else 0.
inline std::uint32_t argumentLocationCode(ArgumentLocation location) {
  const auto code = static_cast<std::uint32_t>(location);
  return code >= 1 && code <= 5 ? code : 0;
}

}  // namespace Quor
