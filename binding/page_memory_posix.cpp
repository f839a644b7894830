#include <sys/mman.h>

#include <cstdint>

#include "binding/page_cache.h"

namespace Quor {

// mmap aligns to the system page only, and the cache finds a page's chunk by
// masking its address. New mappings usually sit right below the previous one,
// so a plain mapping is tried first; otherwise twice the size is mapped and
// trimmed to a 64 KiB boundary.
void* reserveChunk(std::size_t bytes) {
  void* plain = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (plain == MAP_FAILED) return nullptr;
  if ((reinterpret_cast<std::uintptr_t>(plain) & (bytes - 1)) == 0) return plain;
  munmap(plain, bytes);

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
