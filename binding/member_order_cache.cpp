#include "binding/member_order_cache.h"

#include <algorithm>
#include <cstring>

#include "binding/value_store.h"

namespace Quor::detail {

MemberOrderCache::~MemberOrderCache() {
  if (table_ == nullptr) return;
  for (Shape& shape : table_->slots) forget(shape);
}

void MemberOrderCache::forget(Shape& shape) noexcept {
  for (InternedString* name : shape.names) store_->release(name);
  shape.names.clear();
  shape.order.clear();
}

std::uint32_t MemberOrderCache::signatureOf(const InternedString* first, const InternedString* last,
                                            std::size_t count) {
  // Entries are at least 4-byte aligned; their low bits say nothing.
  const auto firstBits = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(first) >> 2);
  const auto lastBits = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(last) >> 2);
  const std::uint32_t mixed = (firstBits * 0x9E3779B1u) ^ (lastBits * 0x85EBCA6Bu) ^ static_cast<std::uint32_t>(count);
  // Slots are taken from the top bits, where the last multiplication has
  // mixed in every bit of both pointers.
  return (mixed ^ (mixed >> 15)) * 0xC2B2AE35u;
}

template <class Item>
const std::uint16_t* MemberOrderCache::orderFor(const Item* items, std::size_t count) {
  if (!covers(count)) return nullptr;
  const std::uint32_t signature = signatureOf(items[0].name, items[count - 1].name, count);
  std::uint32_t& seen = seen_[slotOf(signature)];
  if (seen != signature) {
    seen = signature;
    if (table_ != nullptr) table_->arrival.clear();
    return nullptr;
  }
  if (table_ != nullptr) {
    const Shape& shape = table_->slots[slotOf(signature)];
    if (shape.names.size() == count &&
        std::equal(shape.names.begin(), shape.names.end(), items,
                   [](const InternedString* name, const Item& item) { return name == item.name; })) {
      return shape.order.data();
    }
  }
  // Met for the second time: its arrival is noted for learn.
  if (table_ == nullptr) table_ = std::make_unique<Table>();
  std::vector<InternedString*>& arrival = table_->arrival;
  arrival.resize(count);
  for (std::size_t index = 0; index < count; ++index) arrival[index] = items[index].name;
  return nullptr;
}

bool MemberOrderCache::replay(Member* members, std::size_t count) {
  const std::uint16_t* order = orderFor(members, count);
  if (order == nullptr) return false;
  arrange(members, count, order);
  return true;
}

const std::uint16_t* MemberOrderCache::find(const ItemName* names, std::size_t count) {
  return orderFor(names, count);
}

void MemberOrderCache::arrange(Member* members, std::size_t count, const std::uint16_t* order) {
  std::vector<Member>& scratch = table_->scratch;
  if (scratch.size() < count) scratch.resize(count);
  Member* arranged = scratch.data();
  for (std::size_t index = 0; index < count; ++index) arranged[index] = members[order[index]];
  std::memcpy(static_cast<void*>(members), arranged, count * sizeof(Member));
}

std::uint8_t MemberOrderCache::expect(const InternedString* first, std::size_t count) const {
  if (table_ == nullptr || !covers(count)) return noShape;
  const std::uint8_t slotPlusOne = slotsByFirst_[firstSlotOf(first, count)];
  if (slotPlusOne == 0) return noShape;
  const std::uint8_t slot = slotPlusOne - 1;
  const Shape& shape = table_->slots[slot];
  return shape.names.size() == count && shape.names.front() == first ? slot : noShape;
}

const std::uint16_t* MemberOrderCache::expectedOrder(std::uint8_t slot, const Member* members, std::size_t count,
                                                     bool namesMatched) const {
  if (slot >= slotCount) return nullptr;
  const Shape& shape = table_->slots[slot];
  if (shape.names.size() != count) return nullptr;
  if (namesMatched) return shape.order.data();
  for (std::size_t index = 0; index < count; ++index) {
    if (members[index].name != shape.names[index]) return nullptr;
  }
  return shape.order.data();
}

void MemberOrderCache::learn(const Member* sorted, std::size_t count, ValueStore* store) {
  if (table_ == nullptr || !covers(count) || table_->arrival.size() != count) return;
  if (store_ == nullptr) store_ = store;
  if (store != store_) return;
  std::vector<InternedString*>& arrival = table_->arrival;
  const std::size_t slot = slotOf(signatureOf(arrival.front(), arrival.back(), count));
  Shape& shape = table_->slots[slot];
  ++shapesLearnt_;
  forget(shape);
  shape.order.resize(count);
  for (std::size_t arrivalIndex = 0; arrivalIndex < count; ++arrivalIndex) {
    InternedString* name = arrival[arrivalIndex];
    const Member probe{nameKey(name->view()), name, nullptr};
    const Member* found = std::lower_bound(sorted, sorted + count, probe);
    if (found == sorted + count || found->name != name) {
      shape.order.clear();
      return;
    }
    shape.order[static_cast<std::size_t>(found - sorted)] = static_cast<std::uint16_t>(arrivalIndex);
  }
  shape.names.swap(arrival);
  arrival.clear();
  for (InternedString* name : shape.names) store_->retain(name);
  slotsByFirst_[firstSlotOf(shape.names.front(), count)] = static_cast<std::uint8_t>(slot + 1);
}

}  // namespace Quor::detail
