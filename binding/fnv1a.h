#pragma once
// 32-bit FNV-1a: the hash of interned strings, member lookup keys and type
// identities.

#include <cstdint>
#include <string_view>

namespace Quor {

inline constexpr std::uint32_t fnv1aOffsetBasis = 0x811C9DC5u;
inline constexpr std::uint32_t fnv1aPrime = 16777619u;

constexpr std::uint32_t fnv1a(std::string_view text, std::uint32_t hash = fnv1aOffsetBasis) {
  for (char c : text) {
    hash ^= static_cast<std::uint8_t>(c);
    hash *= fnv1aPrime;
  }
  return hash;
}

}  // namespace Quor
