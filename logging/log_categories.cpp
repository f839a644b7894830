#include "logging/log_categories.h"

#include <cstring>

namespace Quor {

std::uint64_t LogCategoryTable::find(const Entry& key, std::size_t used) const {
  for (std::size_t bit = 0; bit < used; ++bit) {
    if (std::memcmp(entries_[bit], key, sizeof key) == 0) {
      return std::uint64_t{1} << bit;
    }
  }
  return 0;
}

std::uint64_t LogCategoryTable::fromName(const char* name) {
  if (name == nullptr || name[0] == '\0') {
    return 0;
  }
  // Only the first three characters count; shorter names are padded with
  // terminators, so "LO" and "LOC" stay different categories.
  Entry key = {};
  for (std::size_t i = 0; i < 3 && name[i] != '\0'; ++i) {
    key[i] = name[i];
  }
  if (const std::uint64_t found = find(key, inUse())) {
    return found;
  }
  std::lock_guard lock(registrationLock_);
  const std::size_t used = inUse();
  if (const std::uint64_t found = find(key, used)) {
    return found;
  }
  if (used >= kCategoryCount) {
    return 0;
  }
  std::memcpy(entries_[used], key, sizeof key);
  used_.store(used + 1, std::memory_order_release);
  return std::uint64_t{1} << used;
}

const char* LogCategoryTable::name(unsigned bit) const {
  if (bit >= inUse()) {
    return "???";
  }
  return entries_[bit];
}

std::size_t LogCategoryTable::names(char* buffer, std::size_t size, std::uint64_t mask) const {
  if (buffer == nullptr || size == 0) {
    return 0;
  }
  std::size_t length = 0;
  const auto append = [&](const char* text) {
    for (; *text != '\0' && length + 1 < size; ++text) {
      buffer[length++] = *text;
    }
  };
  bool first = true;
  for (unsigned bit = 0; bit < kCategoryCount; ++bit) {
    if ((mask & (std::uint64_t{1} << bit)) == 0) {
      continue;
    }
    if (!first) {
      append(";");
    }
    append(name(bit));
    first = false;
  }
  buffer[length] = '\0';
  return length;
}

namespace {
constinit LogCategoryTable gProcessCategories;
}  // namespace

LogCategoryTable& logCategories() {
  return gProcessCategories;
}

std::uint64_t categoryFromName(const char* name) {
  return gProcessCategories.fromName(name);
}

const char* categoryName(unsigned bit) {
  return gProcessCategories.name(bit);
}

std::size_t categoryNames(char* buffer, std::size_t size, std::uint64_t mask) {
  return gProcessCategories.names(buffer, size, mask);
}

}  // namespace Quor
