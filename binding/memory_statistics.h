#pragma once
// The allocation statistics record that the core asks for through the
// plugin's memoryStatistics entry point.

#include <cstddef>
#include <cstdint>

namespace Quor {

struct MemoryStatistics {
  std::uint64_t peakLiveBytes;        // largest (bytes allocated - bytes freed) seen
  std::uint64_t liveBlocksAtPeak;     // (allocations - frees) when the peak was last raised
  std::uint64_t bytesAllocated;
  std::uint64_t allocationCount;
  std::uint64_t bytesFreed;
  std::uint64_t freeCount;
  std::uint32_t reserved0;            // always 0
  std::uint32_t reserved1;            // always 0
};

static_assert(sizeof(MemoryStatistics) == 56);
static_assert(offsetof(MemoryStatistics, peakLiveBytes) == 0);
static_assert(offsetof(MemoryStatistics, liveBlocksAtPeak) == 8);
static_assert(offsetof(MemoryStatistics, bytesAllocated) == 16);
static_assert(offsetof(MemoryStatistics, allocationCount) == 24);
static_assert(offsetof(MemoryStatistics, bytesFreed) == 32);
static_assert(offsetof(MemoryStatistics, freeCount) == 40);
static_assert(offsetof(MemoryStatistics, reserved0) == 48);
static_assert(offsetof(MemoryStatistics, reserved1) == 52);

}  // namespace Quor
