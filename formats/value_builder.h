#pragma once
// Builds a Value tree from a reader's stream of events (scalars, keys, the
// start and end of containers), so the depth of the tree costs no recursion
// here. Shared by the readers of every wire format.
//
// The items of an open container wait on a scratch stack, each already a
// value of the tree, and the container is made from them in one step when it
// closes: a structure's members are put in name order once, their values in
// one block. (A reader that knows its containers' lengths ahead fills them
// in place instead: see formats/msgpack_reader.cpp.)

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/member_order_cache.h"
#include "binding/nesting_limit.h"
#include "binding/value.h"
#include "binding/value_store.h"

namespace Quor {

class ValueBuilder {
 public:
  explicit ValueBuilder(Value& root);
  ~ValueBuilder();

  ValueBuilder(const ValueBuilder&) = delete;
  ValueBuilder& operator=(const ValueBuilder&) = delete;

  // The value that receives the next scalar: the root first, then a new item
  // of the innermost open container, for a structure the member that the
  // last key named. Valid until the next call of the builder.
  [[gnu::always_inline]] Value& slot() {
    if (depth_ == 0) return root_;
    if (inStructure_) {
      if (keyPending_) {
        keyPending_ = false;
        return items_[itemCount_ - 1];
      }
      // Readers send a key before every member value; a value that arrives
      // without one still lands somewhere defined rather than nowhere.
      pushName({});
    }
    return pushItem();
  }

  // Names the member of the innermost open structure that receives the next
  // value. A name that occurs again in one structure keeps its last value.
  [[gnu::always_inline]] void key(std::string_view name) {
    pushName(name);
    pushItem();
    keyPending_ = true;
  }

  // Opens a new collection or structure in the next slot. False when that
  // would nest deeper than maxNestingDepth; nothing is added then.
  [[gnu::always_inline]] bool beginCollection() { return begin(false); }
  [[gnu::always_inline]] bool beginStructure() { return begin(true); }

  // Closes the innermost open container, making it from its items.
  [[gnu::always_inline]] void end() {
    const Frame frame = frames_[--depth_];
    const std::uint32_t first = frame >> frameFlagBits;
    // A container is the item pushed right before its own items; only the
    // root's items start at the bottom.
    Value& container = first == 0 ? root_ : items_[first - 1];
    const std::uint32_t count = itemCount_ - first;
    if (frame & frameIsStructure) {
      nameCount_ -= count;
      detail::makeStructureOf(container, items_ + first, names_ + nameCount_, count, &memberOrders_);
    } else {
      detail::makeCollectionOf(container, items_ + first, count);
    }
    // The container holds its items now.
    itemCount_ = first;
    inStructure_ = (frame & frameInStructure) != 0;
    keyPending_ = false;
  }

  // Whether the innermost open container is a structure whose next item is
  // a member's name (no key given since its last value).
  bool expectsKey() const { return inStructure_ && !keyPending_; }

  // Whether a container was refused for its depth.
  bool nestedTooDeeply() const { return nestedTooDeeply_; }
  std::size_t depth() const { return depth_; }

 private:
  // An open container: where its items start on the scratch (each item of a
  // structure has one name, so its names are the last as many), shifted by
  // two flags: whether it is a structure, and whether its parent is.
  using Frame = std::uint32_t;
  static constexpr std::uint32_t frameFlagBits = 2;
  static constexpr Frame frameIsStructure = 1;
  static constexpr Frame frameInStructure = 2;
  static Frame frameOf(std::uint32_t firstItem, bool isStructure, bool inStructure) {
    return firstItem << frameFlagBits | (isStructure ? frameIsStructure : 0) | (inStructure ? frameInStructure : 0);
  }

  [[gnu::always_inline]] Value& pushItem() {
    if (itemCount_ == itemCapacity_) growItems();
    return *detail::placeItem(&items_[itemCount_++], store_);
  }
  [[gnu::always_inline]] void pushName(std::string_view name) {
    if (nameCount_ == nameCapacity_) growNames();
    names_[nameCount_++] = detail::internItemName(store_, name);
  }
  [[gnu::always_inline]] bool begin(bool isStructure) {
    if (depth_ == 0 || depth_ >= maxNestingDepth || depth_ == frameCapacity_) [[unlikely]] {
      return beginSlowly(isStructure);
    }
    slot();
    frames_[depth_++] = frameOf(itemCount_, isStructure, inStructure_);
    inStructure_ = isStructure;
    return true;
  }
  bool beginSlowly(bool isStructure);
  void growItems();
  void growNames();
  void growFrames();

  // Scratch stacks of the first items, names and levels; deeper or longer
  // documents move them to the heap.
  static constexpr std::size_t inlineItems = 32;
  static constexpr std::size_t inlineFrames = 16;

  Value& root_;
  ValueStore* store_ = nullptr;
  // Holds references into the root's store, which outlives the builder.
  detail::MemberOrderCache memberOrders_;
  Value* items_;
  detail::ItemName* names_;
  Frame* frames_;
  std::uint32_t itemCount_ = 0;
  std::uint32_t itemCapacity_ = inlineItems;
  std::uint32_t nameCount_ = 0;
  std::uint32_t nameCapacity_ = inlineItems;
  std::uint32_t depth_ = 0;
  std::uint32_t frameCapacity_ = inlineFrames;
  bool inStructure_ = false;
  bool keyPending_ = false;
  bool nestedTooDeeply_ = false;
  alignas(8) unsigned char inlineItemBytes_[inlineItems * sizeof(Value)];
  detail::ItemName inlineNames_[inlineItems];
  Frame inlineFrames_[inlineFrames];
};

}  // namespace Quor
