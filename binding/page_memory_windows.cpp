#include <windows.h>

#include "binding/page_cache.h"

namespace Quor {

// VirtualAlloc hands out regions on its 64 KiB allocation granularity.
void* reserveChunk(std::size_t bytes) {
  return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void releaseChunk(void* chunk, std::size_t) noexcept { VirtualFree(chunk, 0, MEM_RELEASE); }

}  // namespace Quor
