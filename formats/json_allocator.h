#pragma once
// RapidJSON's allocator concept on the library's counting allocation
// functions, so the reader's and writer's stacks are counted like every
// other block of the library.

#include <cstddef>

#include "binding/library_allocator.h"

namespace Quor {

class CountingJsonAllocator {
 public:
  static const bool kNeedFree = true;

  void* Malloc(std::size_t size) { return size != 0 ? libraryAllocate(size) : nullptr; }
  void* Realloc(void* original, std::size_t originalSize, std::size_t newSize) {
    (void)originalSize;
    if (newSize == 0) {
      libraryFree(original);
      return nullptr;
    }
    return original != nullptr ? libraryReallocate(original, newSize) : libraryAllocate(newSize);
  }
  static void Free(void* block) { libraryFree(block); }

  bool operator==(const CountingJsonAllocator&) const { return true; }
  bool operator!=(const CountingJsonAllocator&) const { return false; }
};

}  // namespace Quor
