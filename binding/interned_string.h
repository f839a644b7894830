#pragma once
// An entry of a value store's string set. Equal texts of one tree share one
// entry; the entry lives while its reference count is above zero.

#include <cstdint>
#include <cstring>
#include <string_view>

namespace Quor {

struct InternedString {
  InternedString* next;  // next entry in the same hash bucket
  std::uint32_t hash;    // internHash of the text
  std::uint32_t references;
  std::uint32_t length;  // bytes, without the terminating zero
  // The NUL-terminated text follows the entry; entries are allocated to fit.

  const char* text() const { return reinterpret_cast<const char*>(this + 1); }
  char* text() { return reinterpret_cast<char*>(this + 1); }
  std::string_view view() const { return {text(), length}; }
};
static_assert(sizeof(InternedString) == 16);

// The hash of a store's string set. Only the set sees it, so it may trade
// FNV-1a's byte-at-a-time loop for one multiplication per four bytes.
inline std::uint32_t internHash(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t left = text.size();
  std::uint32_t hash = 0x811C9DC5u ^ static_cast<std::uint32_t>(left);
  while (left >= 4) {
    std::uint32_t word;
    std::memcpy(&word, bytes, sizeof word);
    hash = (hash ^ word) * 0x9E3779B1u;
    hash ^= hash >> 15;
    bytes += 4;
    left -= 4;
  }
  while (left != 0) {
    hash = (hash ^ *bytes++) * 0x01000193u;
    --left;
  }
  hash ^= hash >> 16;
  hash *= 0x85EBCA6Bu;
  hash ^= hash >> 13;
  return hash;
}

// The first four bytes of a name as a big-endian number, zero-padded: two
// names whose keys differ are in the order of their keys; equal keys need
// the whole names compared.
inline std::uint32_t nameKey(std::string_view name) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(name.data());
  if (name.size() >= 4) {
    std::uint32_t word;
    std::memcpy(&word, bytes, sizeof word);
    return __builtin_bswap32(word);
  }
  std::uint32_t key = 0;
  for (std::size_t index = 0; index < name.size(); ++index) key |= std::uint32_t{bytes[index]} << (24 - 8 * index);
  return key;
}

// Byte-wise order of unsigned characters, the order of strcmp for texts
// without embedded zeros.
inline int compareNames(std::string_view a, std::string_view b) {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  if (common != 0) {
    if (const int order = std::memcmp(a.data(), b.data(), common); order != 0) return order;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

}  // namespace Quor
