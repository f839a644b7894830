#pragma once
// Remembers how the members of recently read structures were put in name
// order. Documents repeat records of one shape: the same names arriving in
// the same order. A reader's structure whose names arrive exactly as an
// earlier one's did is ordered by replaying that permutation, with no name
// compared.
//
// Names are compared by their interned entries, which the cache holds a
// reference on, so an entry it remembers cannot be freed and its memory
// reused for another name. A cache serves the structures of one tree and
// must be destroyed before that tree's store.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "binding/value.h"

namespace Quor {

class ValueStore;

namespace detail {

class MemberOrderCache {
 public:
  // Structures of fewer members sort faster than they compare; more would
  // not fit the permutation's 16-bit indices cheaply.
  static constexpr std::size_t minimumMembers = 4;
  static constexpr std::size_t maximumMembers = 1024;

  MemberOrderCache() = default;
  ~MemberOrderCache();
  MemberOrderCache(const MemberOrderCache&) = delete;
  MemberOrderCache& operator=(const MemberOrderCache&) = delete;

  // Puts members, given in arrival order, into name order when an earlier
  // structure had the same names in the same arrival order. False, with the
  // members untouched, when none did; a shape met for the second time then
  // has its arrival order noted, for learn.
  bool replay(Member* members, std::size_t count);
  // replay for a reader's gathered names: the order of the earlier
  // structure (order[i] is the arrival index of the i-th member by name), or
  // null when none matched; noted as replay notes it.
  const std::uint16_t* find(const ItemName* names, std::size_t count);
  // After sorting a structure replay missed, with no name repeated: learns
  // its permutation when its arrival was noted. Only the structures of the
  // first store seen are learnt.
  void learn(const Member* sorted, std::size_t count, ValueStore* store);

  // For a reader that knows a structure's member count before its names
  // (MessagePack): the slot of the shape learnt for count members whose
  // first name is first, or noShape (any number from slotCount up says
  // none). The reader checks the names that follow against the shape's as
  // they arrive, taking the shape's entries instead of interning its own.
  static constexpr std::uint8_t noShape = 0xFF;
  std::uint8_t expect(const InternedString* first, std::size_t count) const;
  // The name the shape in slot expects at an arrival index, or null. A shape
  // learnt meanwhile may have taken the slot: its names are entries of the
  // tree as well, so a name that matches one is still that name's entry.
  const InternedString* expectedName(std::uint8_t slot, std::size_t index) const {
    if (slot >= slotCount) return nullptr;
    const std::vector<InternedString*>& names = table_->slots[slot].names;
    return index < names.size() ? names[index] : nullptr;
  }
  // The order (as find answers it) of members that arrived exactly as the
  // shape in slot has them, or null when they did not. A reader that took
  // every name from the shape's entries while shapesLearnt() stayed the same
  // knows they match and may say so, sparing the comparison.
  const std::uint16_t* expectedOrder(std::uint8_t slot, const Member* members, std::size_t count,
                                     bool namesMatched = false) const;
  // How many shapes have been learnt so far: a slot's shape changes only
  // when this does.
  std::uint32_t shapesLearnt() const { return shapesLearnt_; }
  // Puts members, given in arrival order, into the order of find.
  void arrange(Member* members, std::size_t count, const std::uint16_t* order);

 private:
  // Whether a structure of count members is worth looking up and learning.
  static bool covers(std::size_t count) { return count >= minimumMembers && count <= maximumMembers; }
  struct Shape {
    std::vector<InternedString*> names;  // arrival order, each with a reference
    std::vector<std::uint16_t> order;    // order[i]: arrival index of the i-th member by name
  };
  static constexpr std::size_t slotCount = 64;
  static std::size_t slotOf(std::uint32_t signature) { return signature >> 26; }
  // Where expect finds the shape of a first name and count.
  static std::size_t firstSlotOf(const InternedString* first, std::size_t count) {
    return slotOf(signatureOf(first, nullptr, count));
  }
  struct Table {
    Shape slots[slotCount];
    std::vector<InternedString*> arrival;
    std::vector<Member> scratch;
  };

  static std::uint32_t signatureOf(const InternedString* first, const InternedString* last, std::size_t count);
  // The order for names in arrival order (items whose `name` field names
  // them), as find answers it.
  template <class Item>
  const std::uint16_t* orderFor(const Item* items, std::size_t count);
  void forget(Shape& shape) noexcept;

  // A shape is learnt only when met again, so a tree of one-off structures
  // (a request body) allocates nothing here.
  std::uint32_t seen_[slotCount] = {};
  // For expect: the slot (plus one; 0 for none) of the shape last learnt for
  // a first name and count.
  std::uint8_t slotsByFirst_[slotCount] = {};
  std::unique_ptr<Table> table_;
  ValueStore* store_ = nullptr;
  std::uint32_t shapesLearnt_ = 0;
};

}  // namespace detail
}  // namespace Quor
