#include "binding/page_cache.h"

#include <atomic>
#include <mutex>
#include <new>
#include <thread>
#include <unordered_map>

namespace Quor {
namespace {

struct Chunk {
  std::uintptr_t base;
  std::uint16_t freePages;  // bit i set: page i is in the cache
  Chunk* previousWithFree;
  Chunk* nextWithFree;
};

constexpr std::uint16_t allPagesFree = 0xFFFF;

// The cache's lock: held for a few dozen instructions while a page is taken
// or given back (a request's trees take and give a dozen pages), so a
// thread that finds it held yields and tries again rather than sleeping.
class PageLock {
 public:
  void lock() noexcept {
    while (held_.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
  }
  void unlock() noexcept { held_.clear(std::memory_order_release); }

 private:
  std::atomic_flag held_ = ATOMIC_FLAG_INIT;
};
static_assert(pagesPerChunk == 16);

class PageCache {
 public:
  void* take() {
    std::lock_guard guard(lock_);
    Chunk* chunk = withFree_;
    if (chunk == nullptr) chunk = addChunk();
    else if (chunk->freePages == allPagesFree) --emptyChunks_;
    const unsigned index = static_cast<unsigned>(__builtin_ctz(chunk->freePages));
    chunk->freePages = static_cast<std::uint16_t>(chunk->freePages & ~(1u << index));
    if (chunk->freePages == 0) unlink(chunk);
    ++pagesInUse_;
    return reinterpret_cast<void*>(chunk->base + index * valuePageSize);
  }

  void give(void* page) noexcept {
    const auto address = reinterpret_cast<std::uintptr_t>(page);
    const std::uintptr_t base = address & ~static_cast<std::uintptr_t>(pageChunkSize - 1);
    const unsigned index = static_cast<unsigned>((address - base) / valuePageSize);
    std::lock_guard guard(lock_);
    auto found = chunks_.find(base);
    if (found == chunks_.end()) return;  // not ours: never hand foreign memory to the system
    Chunk& chunk = found->second;
    const bool wasFull = chunk.freePages == 0;
    chunk.freePages = static_cast<std::uint16_t>(chunk.freePages | (1u << index));
    --pagesInUse_;
    if (wasFull) pushFront(&chunk);
    if (chunk.freePages != allPagesFree) return;
    // Kept for the next tree while few are empty: a request that builds and
    // drops a small tree would otherwise map, fault in and unmap a chunk.
    if (retaining_ && emptyChunks_ < maxEmptyChunks) {
      ++emptyChunks_;
      return;
    }
    unlink(&chunk);
    releaseChunk(reinterpret_cast<void*>(base), pageChunkSize);
    chunks_.erase(found);
  }

  // Gives every empty chunk back to the system; with stop, chunks that
  // empty later go back at once too.
  void releaseEmpty(bool stop) noexcept {
    std::lock_guard guard(lock_);
    if (stop) retaining_ = false;
    for (auto entry = chunks_.begin(); entry != chunks_.end();) {
      if (entry->second.freePages != allPagesFree) {
        ++entry;
        continue;
      }
      unlink(&entry->second);
      releaseChunk(reinterpret_cast<void*>(entry->first), pageChunkSize);
      entry = chunks_.erase(entry);
    }
    emptyChunks_ = 0;
  }

  PageCacheStatistics statistics() {
    std::lock_guard guard(lock_);
    return {chunks_.size(), pagesInUse_};
  }

 private:
  Chunk* addChunk() {
    void* memory = reserveChunk(pageChunkSize);
    if (memory == nullptr) throw std::bad_alloc();
    const auto base = reinterpret_cast<std::uintptr_t>(memory);
    Chunk& chunk = chunks_[base];
    chunk = Chunk{base, allPagesFree, nullptr, nullptr};
    pushFront(&chunk);
    return &chunk;
  }

  void pushFront(Chunk* chunk) {
    chunk->previousWithFree = nullptr;
    chunk->nextWithFree = withFree_;
    if (withFree_ != nullptr) withFree_->previousWithFree = chunk;
    withFree_ = chunk;
  }

  void unlink(Chunk* chunk) {
    if (chunk->previousWithFree != nullptr) chunk->previousWithFree->nextWithFree = chunk->nextWithFree;
    else withFree_ = chunk->nextWithFree;
    if (chunk->nextWithFree != nullptr) chunk->nextWithFree->previousWithFree = chunk->previousWithFree;
    chunk->previousWithFree = chunk->nextWithFree = nullptr;
  }

  PageLock lock_;
  // Node-based, so Chunk addresses stay valid while others are added.
  std::unordered_map<std::uintptr_t, Chunk> chunks_;
  Chunk* withFree_ = nullptr;
  std::size_t pagesInUse_ = 0;
  std::size_t emptyChunks_ = 0;  // all sixteen pages back, kept for reuse
  bool retaining_ = true;
};

// When the library is unloaded (or the process ends), the empty chunks kept
// for reuse go back to the system, and so does every chunk that empties
// afterwards.
struct ReleaseAtUnload {
  ~ReleaseAtUnload();
};

// Never destroyed: stores of static values may give pages back during exit.
// The releaser is made after the cache, at the first page taken, so it is
// destroyed before any static value that holds pages.
PageCache& pageCache() {
  static PageCache* cache = new PageCache();
  static ReleaseAtUnload releaser;
  return *cache;
}

ReleaseAtUnload::~ReleaseAtUnload() { pageCache().releaseEmpty(true); }

}  // namespace

void* takeValuePage() { return pageCache().take(); }
void giveValuePage(void* page) noexcept { pageCache().give(page); }
PageCacheStatistics pageCacheStatistics() { return pageCache().statistics(); }
void releaseEmptyPageChunks() noexcept { pageCache().releaseEmpty(false); }

}  // namespace Quor
