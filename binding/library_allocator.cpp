#include "binding/library_allocator.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "binding/runtime_block_size.h"

namespace Quor {

namespace {

using Counter = std::atomic<std::uint64_t>;

struct AllocationCounters {
  Counter peakLiveBytes{0};
  Counter liveBlocksAtPeak{0};
  Counter bytesAllocated{0};
  Counter allocationCount{0};
  Counter bytesFreed{0};
  Counter freeCount{0};
};

// Constant-initialised, so it is usable before any dynamic initialisation.
constinit AllocationCounters counters;

void add(Counter& counter, std::uint64_t amount) {
  std::uint64_t seen = counter.load(std::memory_order_relaxed);
  while (!counter.compare_exchange_weak(seen, seen + amount, std::memory_order_relaxed)) {
  }
}

void raisePeak() {
  const std::uint64_t live =
      counters.bytesAllocated.load(std::memory_order_relaxed) - counters.bytesFreed.load(std::memory_order_relaxed);
  std::uint64_t peak = counters.peakLiveBytes.load(std::memory_order_relaxed);
  while (live > peak) {
    if (counters.peakLiveBytes.compare_exchange_weak(peak, live, std::memory_order_relaxed)) {
      const std::uint64_t blocks = counters.allocationCount.load(std::memory_order_relaxed) -
                                   counters.freeCount.load(std::memory_order_relaxed);
      std::uint64_t previous = counters.liveBlocksAtPeak.load(std::memory_order_relaxed);
      while (!counters.liveBlocksAtPeak.compare_exchange_weak(previous, blocks, std::memory_order_relaxed)) {
      }
      return;
    }
  }
}

void countAllocation(void* block) {
  if (block == nullptr) return;
  add(counters.bytesAllocated, runtimeBlockSize(block));
  add(counters.allocationCount, 1);
  raisePeak();
}

void* countingAllocate(std::size_t bytes) {
  void* block = std::malloc(bytes);
  countAllocation(block);
  return block;
}

void countingFree(void* block) {
  if (block == nullptr) return;
  add(counters.bytesFreed, runtimeBlockSize(block));
  add(counters.freeCount, 1);
  std::free(block);
}

void* countingReallocate(void* block, std::size_t bytes) {
  const std::size_t oldSize = runtimeBlockSize(block);
  void* grown = std::realloc(block, bytes);
  // A failed reallocation leaves the old block in place: nothing changed.
  if (grown == nullptr && bytes != 0) return nullptr;
  add(counters.bytesFreed, oldSize);
  add(counters.bytesAllocated, runtimeBlockSize(grown));
  add(counters.freeCount, 1);
  add(counters.allocationCount, 1);
  raisePeak();
  return grown;
}

char* countingDuplicateText(const char* text) {
  if (text == nullptr) return nullptr;
  const std::size_t length = std::strlen(text);
  auto* copy = static_cast<char*>(countingAllocate(length + 1));
  if (copy != nullptr) std::memcpy(copy, text, length + 1);
  return copy;
}

std::size_t blockSize(void* block) { return runtimeBlockSize(block); }

}  // namespace

const LibraryAllocationFunctions& libraryAllocationFunctions() {
  static const LibraryAllocationFunctions installed{&countingAllocate, &countingFree, &countingReallocate,
                                                    &countingDuplicateText, &blockSize};
  return installed;
}

void readMemoryStatistics(MemoryStatistics& statistics) {
  statistics.peakLiveBytes = counters.peakLiveBytes.load();
  statistics.liveBlocksAtPeak = counters.liveBlocksAtPeak.load();
  statistics.bytesAllocated = counters.bytesAllocated.load();
  statistics.allocationCount = counters.allocationCount.load();
  statistics.bytesFreed = counters.bytesFreed.load();
  statistics.freeCount = counters.freeCount.load();
  statistics.reserved0 = 0;
  statistics.reserved1 = 0;
}

std::uint64_t libraryLiveBytes() {
  MemoryStatistics statistics;
  readMemoryStatistics(statistics);
  return statistics.bytesAllocated - statistics.bytesFreed;
}

}  // namespace Quor
