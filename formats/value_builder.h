#pragma once
// Builds a Value tree from a reader's stream of events (scalars, keys, the
// start and end of containers) through an explicit stack of open containers,
// so the depth of the tree costs no recursion here. Shared by the readers of
// every wire format.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "binding/member_order_cache.h"
#include "binding/value.h"
#include "binding/nesting_limit.h"

namespace Quor {

class ValueBuilder {
 public:
  explicit ValueBuilder(Value& root) : root_(root) {}

  ValueBuilder(const ValueBuilder&) = delete;
  ValueBuilder& operator=(const ValueBuilder&) = delete;

  // The value that receives the next scalar or container: the root first,
  // then a new element of the innermost open collection, or the member that
  // the last key selected in the innermost open structure.
  Value& slot() {
    if (depth_ == 0) return root_;
    Value* innermost = innermostOpen();
    if (innermost->kind() == ValueKind::Collection) return innermost->appendElement();
    // Readers send a key before every member value; a value that arrives
    // without one still lands somewhere defined rather than nowhere.
    if (member_ == nullptr) member_ = &detail::appendMember(*innermost, {});
    Value* member = member_;
    member_ = nullptr;
    return *member;
  }

  // Creates the member of the innermost open structure that receives the
  // next value. Members are put in name order when the structure closes; a
  // name that occurs again keeps its last value.
  void key(std::string_view name) { member_ = &detail::appendMember(*innermostOpen(), name); }

  // Opens a new collection or structure in the next slot. False when that
  // would nest deeper than maxNestingDepth; nothing is added then.
  bool beginCollection() { return begin(ValueKind::Collection); }
  bool beginStructure() { return begin(ValueKind::Structure); }

  // Closes the innermost open container.
  void end() {
    Value& container = *innermostOpen();
    detail::finishMembers(container, &memberOrders_);
    detail::releaseUnusedRoom(container);
    --depth_;
    if (depth_ >= shallowDepth) deep_.pop_back();
    member_ = nullptr;
  }

  // Whether a container was refused for its depth.
  bool nestedTooDeeply() const { return nestedTooDeeply_; }
  std::size_t depth() const { return depth_; }

 private:
  bool begin(ValueKind kind) {
    if (depth_ >= maxNestingDepth) {
      nestedTooDeeply_ = true;
      return false;
    }
    Value& container = slot();
    // A repeated key replaces the earlier container instead of merging into
    // it. Most containers are small: room for a few items comes in the block
    // of the container's header.
    if (!container.isEmpty()) container.setEmpty();
    if (kind == ValueKind::Collection) {
      detail::makeCollectionWithRoom(container, detail::elementsInHeaderBlock);
    } else {
      detail::makeStructureWithRoom(container, detail::membersInHeaderBlock);
    }
    if (depth_ < shallowDepth) shallow_[depth_] = &container;
    else deep_.push_back(&container);
    ++depth_;
    return true;
  }

  Value* innermostOpen() const { return depth_ <= shallowDepth ? shallow_[depth_ - 1] : deep_.back(); }

  // Documents rarely nest deeper than this: the open containers of the
  // first levels stay here, deeper ones go to the heap.
  static constexpr std::size_t shallowDepth = 32;

  Value& root_;
  // Holds references into the root's store, which outlives the builder.
  detail::MemberOrderCache memberOrders_;
  // Open containers, outermost first. A container's address stays valid while
  // it is open: its parent gets no new element or member until it closes.
  Value* shallow_[shallowDepth];
  std::vector<Value*> deep_;
  std::size_t depth_ = 0;
  Value* member_ = nullptr;
  bool nestedTooDeeply_ = false;
};

}  // namespace Quor
