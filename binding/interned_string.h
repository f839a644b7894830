#pragma once
// An entry of a value store's strings. Equal names and short texts of one
// tree share one entry of the store's set; a long string value has an entry
// of its own. An entry lives while its reference count is above zero.

#include <cstdint>
#include <cstring>
#include <string_view>

namespace Quor {

struct InternedString {
  // Next entry in the same hash bucket; an entry kept outside the set (a long
  // string value) points at the shared empty entry instead.
  InternedString* next;
  std::uint32_t hash;    // internHash of the text
  std::uint32_t references;
  std::uint32_t length;  // bytes, without the terminating zero
  // The NUL-terminated text follows the entry; entries are allocated to fit.

  const char* text() const { return reinterpret_cast<const char*>(this + 1); }
  char* text() { return reinterpret_cast<char*>(this + 1); }
  std::string_view view() const { return {text(), length}; }
};
static_assert(sizeof(InternedString) == 16);

namespace internedText {

inline std::uint32_t load32(const unsigned char* bytes) {
  std::uint32_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

// Texts of 1 to 3 bytes as one number: with the length known, these three
// bytes determine the text. No loop, so no branch on the length to mispredict.
inline std::uint32_t shortWord(const unsigned char* bytes, std::size_t size) {
  return std::uint32_t{bytes[0]} | std::uint32_t{bytes[size >> 1]} << 8 | std::uint32_t{bytes[size - 1]} << 16;
}

}  // namespace internedText

// The hash of a store's string set. Only the set sees it, so it may trade
// FNV-1a's byte-at-a-time loop for one multiplication per four bytes; a text
// of four bytes or more ends with its last four bytes, overlapping the words
// before them, since its length is part of the hash anyway.
inline std::uint32_t internHash(std::string_view text) {
  using namespace internedText;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::uint32_t hash = 0x811C9DC5u ^ static_cast<std::uint32_t>(size);
  const auto mix = [&hash](std::uint32_t word) {
    hash = (hash ^ word) * 0x9E3779B1u;
    hash ^= hash >> 15;
  };
  if (size >= 4) {
    const unsigned char* last = bytes + size - 4;
    for (; bytes < last; bytes += 4) mix(load32(bytes));
    mix(load32(last));
  } else if (size != 0) {
    mix(shortWord(bytes, size));
  }
  hash ^= hash >> 16;
  hash *= 0x85EBCA6Bu;
  hash ^= hash >> 13;
  return hash;
}

// Whether two texts of the same size are equal, compared a word at a time
// with the last word overlapping, as the hash reads them.
inline bool sameText(const char* a, const char* b, std::size_t size) {
  using namespace internedText;
  const auto* left = reinterpret_cast<const unsigned char*>(a);
  const auto* right = reinterpret_cast<const unsigned char*>(b);
  if (size >= 4) {
    const std::size_t lastOffset = size - 4;
    for (std::size_t offset = 0; offset < lastOffset; offset += 4) {
      if (load32(left + offset) != load32(right + offset)) return false;
    }
    return load32(left + lastOffset) == load32(right + lastOffset);
  }
  return size == 0 || shortWord(left, size) == shortWord(right, size);
}

// The first four bytes of a name as a big-endian number, zero-padded: two
// names whose keys differ are in the order of their keys; equal keys need
// the whole names compared.
inline std::uint32_t nameKey(std::string_view name) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(name.data());
  switch (name.size()) {
    case 0: return 0;
    case 1: return std::uint32_t{bytes[0]} << 24;
    case 2: return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16;
    case 3: return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8;
    default: return __builtin_bswap32(internedText::load32(bytes));
  }
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
