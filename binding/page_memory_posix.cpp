#include <sys/mman.h>

#include <cstdint>

#include "binding/page_cache.h"

namespace Quor {

// mmap aligns to the system page only: map twice the size and trim to a
// 64 KiB boundary, as the cache finds a page's chunk by masking its address.
void* reserveChunk(std::size_t bytes) {
  const std::size_t span = bytes * 2;
  void* mapped = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(mapped);
  const std::uintptr_t aligned = (start + bytes - 1) & ~static_cast<std::uintptr_t>(bytes - 1);
  if (aligned > start) munmap(mapped, aligned - start);
  const std::uintptr_t end = start + span;
  if (end > aligned + bytes) munmap(reinterpret_cast<void*>(aligned + bytes), end - (aligned + bytes));
  return reinterpret_cast<void*>(aligned);
}

void releaseChunk(void* chunk, std::size_t bytes) noexcept { munmap(chunk, bytes); }

}  // namespace Quor
