#include "remoting/path_captures.h"

#include <algorithm>

namespace Quor {

PathCaptures::PathCaptures(std::initializer_list<value_type> pairs) {
  for (const value_type& pair : pairs) emplace(pair.first, pair.second);
}

void PathCaptures::insert_or_assign(std::string_view name, std::string text) {
  bool inserted = false;
  textOf(name, inserted) = std::move(text);
}

bool PathCaptures::emplace(std::string_view name, std::string_view text) {
  bool inserted = false;
  std::string& stored = textOf(name, inserted);
  if (inserted) stored.assign(text);
  return inserted;
}

std::string& PathCaptures::operator[](std::string_view name) {
  bool inserted = false;
  return textOf(name, inserted);
}

// A new name is appended and rotated into its place: fewer instantiations
// than inserting in the middle, and the few entries move alike.
std::string& PathCaptures::textOf(std::string_view name, bool& inserted) {
  const auto found = std::lower_bound(entries_.begin(), entries_.end(), name,
                                      [](const value_type& entry, std::string_view searched) { return entry.first < searched; });
  const auto index = static_cast<std::size_t>(found - entries_.begin());
  if (found != entries_.end() && found->first == name) return found->second;
  entries_.emplace_back(std::string(name), std::string());
  std::rotate(entries_.begin() + static_cast<std::ptrdiff_t>(index), entries_.end() - 1, entries_.end());
  inserted = true;
  return entries_[index].second;
}

}  // namespace Quor
