#pragma once
// The process-wide cache of 4096-byte pages shared by every value store.
// Memory is reserved from the operating system in 64 KiB chunks of sixteen
// pages. Up to maxEmptyChunks chunks (3 MiB) whose pages are all back are kept
// for reuse; beyond that an empty chunk goes back to the system at once, and
// every kept one goes back when the library is unloaded.

#include <cstddef>
#include <cstdint>

namespace Quor {

inline constexpr std::size_t valuePageSize = 4096;
inline constexpr std::size_t pageChunkSize = 64 * 1024;
inline constexpr std::size_t pagesPerChunk = pageChunkSize / valuePageSize;
inline constexpr std::size_t maxEmptyChunks = 48;

// Takes a 4096-byte aligned page; throws
// std::bad_alloc when the system has no memory left.
void* takeValuePage();
// Gives a page taken from takeValuePage back to the cache.
void giveValuePage(void* page) noexcept;

struct PageCacheStatistics {
  std::size_t chunks;      // chunks currently held from the system
  std::size_t pagesInUse;  // pages handed out and not given back
};
PageCacheStatistics pageCacheStatistics();
// Gives the empty chunks kept for reuse back to the system now.
void releaseEmptyPageChunks() noexcept;

// Operating-system memory for the cache: 64 KiB-aligned, read-write chunks.
// Implemented once per platform.
void* reserveChunk(std::size_t bytes);
void releaseChunk(void* chunk, std::size_t bytes) noexcept;

}  // namespace Quor
