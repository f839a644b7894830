#include "binding/library_allocator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

namespace Quor {
namespace {

MemoryStatistics statistics() {
  MemoryStatistics read;
  std::memset(&read, 0xAB, sizeof read);
  readMemoryStatistics(read);
  return read;
}

TEST(LibraryAllocator, CountsBlockSizesOfAllocationsAndFrees) {
  const MemoryStatistics before = statistics();
  void* block = libraryAllocate(100);
  ASSERT_NE(block, nullptr);
  const std::size_t size = libraryBlockSize(block);
  EXPECT_GE(size, 100u);
  const MemoryStatistics allocated = statistics();
  EXPECT_EQ(allocated.allocationCount - before.allocationCount, 1u);
  EXPECT_EQ(allocated.bytesAllocated - before.bytesAllocated, size);
  EXPECT_GE(allocated.peakLiveBytes, allocated.bytesAllocated - allocated.bytesFreed);
  libraryFree(block);
  const MemoryStatistics freed = statistics();
  EXPECT_EQ(freed.freeCount - before.freeCount, 1u);
  EXPECT_EQ(freed.bytesFreed - before.bytesFreed, size);
  EXPECT_EQ(freed.reserved0, 0u);
  EXPECT_EQ(freed.reserved1, 0u);
}

TEST(LibraryAllocator, FreeingNullChangesNoCounter) {
  const MemoryStatistics before = statistics();
  libraryFree(nullptr);
  const MemoryStatistics after = statistics();
  EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
  EXPECT_EQ(libraryBlockSize(nullptr), 0u);
  EXPECT_EQ(libraryDuplicateText(nullptr), nullptr);
}

TEST(LibraryAllocator, ReallocationCountsBothBlocks) {
  void* block = libraryAllocate(16);
  const std::size_t oldSize = libraryBlockSize(block);
  const MemoryStatistics before = statistics();
  void* grown = libraryReallocate(block, 4096);
  ASSERT_NE(grown, nullptr);
  const MemoryStatistics after = statistics();
  EXPECT_EQ(after.bytesFreed - before.bytesFreed, oldSize);
  EXPECT_EQ(after.bytesAllocated - before.bytesAllocated, libraryBlockSize(grown));
  EXPECT_EQ(after.allocationCount - before.allocationCount, 1u);
  EXPECT_EQ(after.freeCount - before.freeCount, 1u);
  libraryFree(grown);

  const MemoryStatistics beforeNew = statistics();
  void* fresh = libraryReallocate(nullptr, 32);
  const MemoryStatistics afterNew = statistics();
  EXPECT_EQ(afterNew.bytesFreed, beforeNew.bytesFreed);
  EXPECT_EQ(afterNew.bytesAllocated - beforeNew.bytesAllocated, libraryBlockSize(fresh));
  libraryFree(fresh);
}

TEST(LibraryAllocator, DuplicatedTextsAreCountedCopies) {
  const std::uint64_t live = libraryLiveBytes();
  const char original[] = "qel-beta-opt-in";
  char* copy = libraryDuplicateText(original);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, original);
  EXPECT_STREQ(copy, original);
  EXPECT_EQ(libraryLiveBytes() - live, libraryBlockSize(copy));
  libraryFree(copy);
  EXPECT_EQ(libraryLiveBytes(), live);
}

TEST(LibraryAllocator, PeakRecordsTheLargestLiveAmount) {
  std::vector<void*> blocks;
  for (int index = 0; index < 8; ++index) blocks.push_back(libraryAllocate(1 << 16));
  const MemoryStatistics atPeak = statistics();
  const std::uint64_t live = atPeak.bytesAllocated - atPeak.bytesFreed;
  EXPECT_GE(atPeak.peakLiveBytes, live);
  for (void* block : blocks) libraryFree(block);
  const MemoryStatistics after = statistics();
  EXPECT_GE(after.peakLiveBytes, live);
  EXPECT_LT(after.bytesAllocated - after.bytesFreed, live);
}

TEST(LibraryAllocator, CountersStayConsistentUnderConcurrentUse) {
  const MemoryStatistics before = statistics();
  constexpr int threadCount = 4;
  constexpr int rounds = 2000;
  std::vector<std::thread> threads;
  for (int thread = 0; thread < threadCount; ++thread) {
    threads.emplace_back([] {
      for (int round = 0; round < rounds; ++round) {
        void* block = libraryAllocate(static_cast<std::size_t>(16 + round % 200));
        char* text = libraryDuplicateText("text");
        libraryFree(text);
        libraryFree(block);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  const MemoryStatistics after = statistics();
  EXPECT_EQ(after.allocationCount - before.allocationCount, 2u * threadCount * rounds);
  EXPECT_EQ(after.freeCount - before.freeCount, 2u * threadCount * rounds);
  EXPECT_EQ(after.bytesAllocated - before.bytesAllocated, after.bytesFreed - before.bytesFreed);
}

// Each thread holds one block at a time, so the peak can rise at most by one
// block per thread above the live amount before.
TEST(LibraryAllocator, PeakStaysWithinWhatThreadsCanHoldAtOnce) {
  constexpr int threadCount = 4;
  constexpr int rounds = 200000;
  constexpr std::size_t requested = 4000;
  void* probe = libraryAllocate(requested);
  const std::uint64_t blockBytes = libraryBlockSize(probe);
  libraryFree(probe);
  const MemoryStatistics before = statistics();
  std::vector<std::thread> threads;
  for (int thread = 0; thread < threadCount; ++thread) {
    threads.emplace_back([] {
      for (int round = 0; round < rounds; ++round) libraryFree(libraryAllocate(requested));
    });
  }
  for (std::thread& thread : threads) thread.join();
  const MemoryStatistics after = statistics();
  const std::uint64_t liveBefore = before.bytesAllocated - before.bytesFreed;
  const std::uint64_t blocksBefore = before.allocationCount - before.freeCount;
  EXPECT_LE(after.peakLiveBytes, after.bytesAllocated);
  EXPECT_LE(after.peakLiveBytes, std::max(before.peakLiveBytes, liveBefore + threadCount * blockBytes));
  EXPECT_LE(after.liveBlocksAtPeak, std::max<std::uint64_t>(before.liveBlocksAtPeak, blocksBefore + threadCount));
}

TEST(LibraryAllocator, StandardContainersOnTheLibraryFunctionsAreCounted) {
  const std::uint64_t live = libraryLiveBytes();
  {
    std::vector<int, LibraryStdAllocator<int>> numbers(1000, 7);
    EXPECT_GE(libraryLiveBytes() - live, 1000 * sizeof(int));
  }
  EXPECT_EQ(libraryLiveBytes(), live);
}

}  // namespace
}  // namespace Quor
