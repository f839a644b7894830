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
  // What is live now, each kept by one counter whose update returns the new
  // figure: two separate readings of the totals above can straddle another
  // thread's allocation and free, and their difference then wraps.
  std::atomic<std::int64_t> liveBytes{0};
  std::atomic<std::int64_t> liveBlocks{0};
};

// Constant-initialised, so it is usable before any dynamic initialisation.
constinit AllocationCounters counters;

void add(Counter& counter, std::uint64_t amount) {
  std::uint64_t seen = counter.load(std::memory_order_relaxed);
  while (!counter.compare_exchange_weak(seen, seen + amount, std::memory_order_relaxed)) {
  }
}

// Moves the live figures by the given amounts and answers them as they now
// stand.
std::int64_t changeLiveBytes(std::int64_t amount) {
  return counters.liveBytes.fetch_add(amount, std::memory_order_relaxed) + amount;
}
std::int64_t changeLiveBlocks(std::int64_t amount) {
  return counters.liveBlocks.fetch_add(amount, std::memory_order_relaxed) + amount;
}

void raisePeak(std::int64_t live, std::int64_t blocks) {
  if (live < 0) return;
  std::uint64_t peak = counters.peakLiveBytes.load(std::memory_order_relaxed);
  while (static_cast<std::uint64_t>(live) > peak) {
    if (counters.peakLiveBytes.compare_exchange_weak(peak, static_cast<std::uint64_t>(live),
                                                     std::memory_order_relaxed)) {
      counters.liveBlocksAtPeak.store(static_cast<std::uint64_t>(blocks < 0 ? 0 : blocks),
                                      std::memory_order_relaxed);
      return;
    }
  }
}

void countAllocation(void* block) {
  if (block == nullptr) return;
  const std::size_t size = runtimeBlockSize(block);
  add(counters.bytesAllocated, size);
  add(counters.allocationCount, 1);
  const std::int64_t blocks = changeLiveBlocks(1);
  raisePeak(changeLiveBytes(static_cast<std::int64_t>(size)), blocks);
}

void* countingAllocate(std::size_t bytes) {
  void* block = std::malloc(bytes);
  countAllocation(block);
  return block;
}

void countingFree(void* block) {
  if (block == nullptr) return;
  const std::size_t size = runtimeBlockSize(block);
  add(counters.bytesFreed, size);
  add(counters.freeCount, 1);
  changeLiveBlocks(-1);
  changeLiveBytes(-static_cast<std::int64_t>(size));
  std::free(block);
}

void* countingReallocate(void* block, std::size_t bytes) {
  const std::size_t oldSize = runtimeBlockSize(block);
  void* grown = std::realloc(block, bytes);
  // A failed reallocation leaves the old block in place: nothing changed.
  if (grown == nullptr && bytes != 0) return nullptr;
  const std::size_t newSize = runtimeBlockSize(grown);
  add(counters.bytesFreed, oldSize);
  add(counters.bytesAllocated, newSize);
  add(counters.freeCount, 1);
  add(counters.allocationCount, 1);
  raisePeak(changeLiveBytes(static_cast<std::int64_t>(newSize) - static_cast<std::int64_t>(oldSize)),
            changeLiveBlocks(0));
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
  const std::int64_t live = counters.liveBytes.load();
  return live < 0 ? 0 : static_cast<std::uint64_t>(live);
}

}  // namespace Quor
