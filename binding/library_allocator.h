#pragma once
// The library's own allocation functions: counting wrappers around the C
// runtime's heap. Every block placed in a record for the core (host values,
// response texts and arrays, API descriptions) comes from here, so that the
// record's release function can give it back and the core can read the
// allocation statistics.
//
// The function table is installed by the first allocation and never changes;
// the six 64-bit counters are updated atomically and may be read from any
// thread. The peak is raised from one live figure kept on its own.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>

#include "binding/memory_statistics.h"

namespace Quor {

struct LibraryAllocationFunctions {
  void* (*allocate)(std::size_t bytes);
  void (*free)(void* block);  // a null block is ignored
  void* (*reallocate)(void* block, std::size_t bytes);
  char* (*duplicateText)(const char* text);  // null for a null text
  std::size_t (*blockSize)(void* block);     // 0 for a null block
};

// The installed table (installed on the first call).
const LibraryAllocationFunctions& libraryAllocationFunctions();

inline void* libraryAllocate(std::size_t bytes) { return libraryAllocationFunctions().allocate(bytes); }
inline void libraryFree(void* block) { libraryAllocationFunctions().free(block); }
inline void* libraryReallocate(void* block, std::size_t bytes) {
  return libraryAllocationFunctions().reallocate(block, bytes);
}
inline char* libraryDuplicateText(const char* text) { return libraryAllocationFunctions().duplicateText(text); }
inline std::size_t libraryBlockSize(void* block) { return libraryAllocationFunctions().blockSize(block); }

// The six counters, each read atomically; the two trailing words are 0.
void readMemoryStatistics(MemoryStatistics& statistics);

// Bytes allocated minus bytes freed, as one consistent figure.
std::uint64_t libraryLiveBytes();

// A standard allocator on the library's functions, for containers whose
// storage is handed to the core.
template <class T>
struct LibraryStdAllocator {
  using value_type = T;
  LibraryStdAllocator() = default;
  template <class U>
  LibraryStdAllocator(const LibraryStdAllocator<U>&) noexcept {}

  T* allocate(std::size_t count) {
    if (count > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_array_new_length();
    void* block = libraryAllocate(count * sizeof(T));
    if (block == nullptr) throw std::bad_alloc();
    return static_cast<T*>(block);
  }
  void deallocate(T* block, std::size_t) noexcept { libraryFree(block); }

  template <class U>
  friend bool operator==(const LibraryStdAllocator&, const LibraryStdAllocator<U>&) noexcept {
    return true;
  }
};

}  // namespace Quor
