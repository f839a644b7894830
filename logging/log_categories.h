#pragma once
// The table of category names: 64 three-letter names, one per bit of a
// category mask. The process has one (behind the free functions below);
// further tables exist only where a table of their own is wanted.
//
// Bits 0 to 8 are in use from the start (DBG, GEN, XTR, PRF, MEM, DSK, NET,
// TST and LOC); every new three-letter name takes the next free bit.
//
// Past 64 categories: once all 64 entries are in use, a new name gets the
// mask 0 ("no category") and nothing is stored, so nothing is ever written
// beyond the table. Messages logged with that mask pass every category filter
// (they are filtered by level alone) and "#G" shows no name for them.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "logging/spin_lock.h"

namespace Quor {

inline constexpr std::size_t kCategoryCount = 64;

class LogCategoryTable {
 public:
  // A table in its start-up state: bits 0 to 8 in use.
  constexpr LogCategoryTable() = default;
  LogCategoryTable(const LogCategoryTable&) = delete;
  LogCategoryTable& operator=(const LogCategoryTable&) = delete;

  // The mask of the category whose name starts with the same three
  // characters as `name` (so "LOCAL" is "LOC"), registering the name in the
  // next free entry when none does. A null or empty name, or a full table,
  // gives 0.
  std::uint64_t fromName(const char* name);

  // The name of category `bit`; "???" for an entry not in use and for a bit
  // outside the table.
  const char* name(unsigned bit) const;

  // The names in `mask`, lowest bit first, separated by ";"; the empty text
  // for 0. Cut to fit `size` - 1 characters, always terminated when
  // size > 0; answers the number of characters stored.
  std::size_t names(char* buffer, std::size_t size, std::uint64_t mask) const;

  std::size_t inUse() const { return used_.load(std::memory_order_acquire); }

 private:
  using Entry = char[4];
  std::uint64_t find(const Entry& key, std::size_t used) const;

  // Entries in use never change once published through `used_`, so readers
  // take no lock: an entry is complete before the count that covers it is
  // stored (release), and readers load the count first (acquire).
  Entry entries_[kCategoryCount] = {"DBG", "GEN", "XTR", "PRF", "MEM", "DSK", "NET", "TST", "LOC"};
  std::atomic<std::size_t> used_{9};
  // Registrations are serialised so that two threads adding the same new
  // name at once end up with one bit, not two.
  SpinLock registrationLock_;
};

// The process's table. "LOC" is part of its start-up registration and holds
// bit 8 from the first instruction on, whatever order initialisers run in.
LogCategoryTable& logCategories();

std::uint64_t categoryFromName(const char* name);
const char* categoryName(unsigned bit);
std::size_t categoryNames(char* buffer, std::size_t size, std::uint64_t mask);

}  // namespace Quor
