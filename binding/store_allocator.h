#pragma once
// Standard-library allocator that serves a container's memory from the value
// store of its tree: small requests from the block pools, larger ones from
// the general heap.

#include <cstddef>

namespace Quor {

class ValueStore;
void* allocateFromStore(ValueStore* store, std::size_t bytes);
void freeToStore(ValueStore* store, void* memory, std::size_t bytes) noexcept;

template <typename T>
class StoreAllocator {
 public:
  using value_type = T;

  explicit StoreAllocator(ValueStore* store) noexcept : store_(store) {}
  template <typename U>
  StoreAllocator(const StoreAllocator<U>& other) noexcept : store_(other.store()) {}

  T* allocate(std::size_t count) { return static_cast<T*>(allocateFromStore(store_, count * sizeof(T))); }
  void deallocate(T* memory, std::size_t count) noexcept { freeToStore(store_, memory, count * sizeof(T)); }

  ValueStore* store() const noexcept { return store_; }
  template <typename U>
  bool operator==(const StoreAllocator<U>& other) const noexcept {
    return store_ == other.store();
  }

 private:
  ValueStore* store_;
};

}  // namespace Quor
