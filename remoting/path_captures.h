#pragma once
// Texts by name, in name order: the decoded groups of a matched path, or
// the decoded arguments of a query. A request has a few of them, so they
// are kept in one sorted array rather than a node per name.

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Quor {

class PathCaptures {
 public:
  using value_type = std::pair<std::string, std::string>;
  using const_iterator = std::vector<value_type>::const_iterator;

  PathCaptures() = default;
  // A later pair of the same name is ignored, as a map's list constructor does.
  PathCaptures(std::initializer_list<value_type> pairs);

  // The text stored under name, replacing an earlier one.
  void insert_or_assign(std::string_view name, std::string text);
  // The text stored under name unless the name has one already.
  bool emplace(std::string_view name, std::string_view text);
  // The text under name, made empty when it has none.
  std::string& operator[](std::string_view name);

  const_iterator begin() const { return entries_.begin(); }
  const_iterator end() const { return entries_.end(); }
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  // Keeps the room, so that matching route after route allocates once.
  void clear() { entries_.clear(); }
  void reserve(std::size_t count) { entries_.reserve(count); }
  void swap(PathCaptures& other) noexcept { entries_.swap(other.entries_); }

  friend bool operator==(const PathCaptures& a, const PathCaptures& b) { return a.entries_ == b.entries_; }

 private:
  // The text under name, and whether the name was added for it (empty).
  std::string& textOf(std::string_view name, bool& inserted);

  std::vector<value_type> entries_;
};

}  // namespace Quor
