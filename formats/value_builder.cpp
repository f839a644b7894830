#include "formats/value_builder.h"

#include <cstring>
#include <memory>
#include <new>

#include "binding/library_allocator.h"

namespace Quor {

namespace {

// A scratch stack's storage twice as large, its contents moved bytewise;
// the storage it leaves is freed unless it was the builder's own.
template <class Item>
Item* grown(Item* storage, std::uint32_t count, std::uint32_t& capacity, const void* inlineStorage) {
  const std::size_t larger = std::size_t{capacity} * 2;
  auto* moved = static_cast<Item*>(libraryAllocate(larger * sizeof(Item)));
  if (moved == nullptr) throw std::bad_alloc();
  std::memcpy(static_cast<void*>(moved), static_cast<const void*>(storage), count * sizeof(Item));
  if (storage != inlineStorage) libraryFree(storage);
  capacity = static_cast<std::uint32_t>(larger);
  return moved;
}

}  // namespace

ValueBuilder::ValueBuilder(Value& root)
    : root_(root),
      items_(reinterpret_cast<Value*>(inlineItemBytes_)),
      names_(inlineNames_),
      frames_(inlineFrames_) {}

ValueBuilder::~ValueBuilder() {
  // Only a reader that stopped early leaves items behind: they are values of
  // the tree, released like any other.
  for (std::uint32_t index = 0; index < itemCount_; ++index) std::destroy_at(&items_[index]);
  for (std::uint32_t index = 0; index < nameCount_; ++index) detail::releaseItemName(store_, names_[index]);
  if (items_ != reinterpret_cast<Value*>(inlineItemBytes_)) libraryFree(items_);
  if (names_ != inlineNames_) libraryFree(names_);
  if (frames_ != inlineFrames_) libraryFree(frames_);
}

// The first container, one too deep, or one past the frames' room.
bool ValueBuilder::beginSlowly(bool isStructure) {
  if (depth_ >= maxNestingDepth) {
    nestedTooDeeply_ = true;
    return false;
  }
  if (depth_ == frameCapacity_) growFrames();
  if (depth_ == 0) {
    if (!root_.isEmpty()) root_.setEmpty();
    store_ = detail::storeOf(root_);
  } else {
    slot();
  }
  frames_[depth_++] = frameOf(itemCount_, isStructure, inStructure_);
  inStructure_ = isStructure;
  keyPending_ = false;
  return true;
}

void ValueBuilder::growItems() {
  items_ = grown(items_, itemCount_, itemCapacity_, inlineItemBytes_);
}

void ValueBuilder::growNames() { names_ = grown(names_, nameCount_, nameCapacity_, inlineNames_); }

void ValueBuilder::growFrames() { frames_ = grown(frames_, depth_, frameCapacity_, inlineFrames_); }

}  // namespace Quor
