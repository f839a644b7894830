#pragma once
// Storage of one Value tree, owned by its root: the interned strings and the
// block pools from which container headers, enum records and blob headers
// come.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/fnv1a.h"
#include "binding/interned_string.h"
#include "binding/memory_poisoning.h"
#include "binding/page_cache.h"
#include "binding/runtime_block_size.h"

namespace Quor {

namespace detail {
// The shared empty string: an entry followed by its terminating zero.
struct StaticEmptyEntry {
  InternedString entry;
  char terminator[4];
};
inline StaticEmptyEntry staticEmptyEntry{{nullptr, fnv1aOffsetBasis, 0, 0}, {0, 0, 0, 0}};
}  // namespace detail

class ValueStore {
 public:
  static constexpr std::size_t blockClassCount = 18;     // block sizes 4, 8, ... 72
  static constexpr std::size_t largestBlock = 4 * blockClassCount;
  static constexpr std::size_t inlineAreaSize = 144;

  ValueStore();
  ~ValueStore();
  // A store placed in a page of the page cache, as a tree's root makes it,
  // so building a tree needs no heap block for its store.
  static ValueStore* create();
  static void destroy(ValueStore* store) noexcept;
  ValueStore(const ValueStore&) = delete;
  ValueStore& operator=(const ValueStore&) = delete;

  // ---- Interned strings ---------------------------------------------------
  // The entry for text, with one more reference. The empty text is never
  // interned: it gives the shared static empty entry.
  InternedString* intern(std::string_view text, std::uint32_t hash);
  InternedString* intern(std::string_view text) { return intern(text, internHash(text)); }
  // intern for member names, which documents repeat far more than other
  // texts: a recently interned name is found by its first and last bytes
  // and one comparison, without hashing it or searching the set.
  [[gnu::always_inline]] InternedString* internName(std::string_view name) {
    if (recentNames_ != nullptr && !name.empty()) {
      InternedString* recent = recentNames_[recentNameSlot(name)];
      if (recent != nullptr && recent->length == name.size() && sameText(recent->text(), name.data(), name.size())) {
        ++recent->references;
        return recent;
      }
    }
    return internNameSlowly(name);
  }
  // intern for string values: a text longer than longestSharedText is
  // seldom met twice, so it gets an entry of its own, outside the set,
  // without being hashed.
  static constexpr std::size_t longestSharedText = 32;
  InternedString* internText(std::string_view text) {
    return text.size() > longestSharedText ? unsharedEntry(text) : intern(text);
  }
  // internText for a copy of another store's entry, whose hash it reuses.
  InternedString* internCopy(const InternedString* source);
  void retain(InternedString* entry) noexcept {
    if (entry != emptyString()) ++entry->references;
  }
  void release(InternedString* entry) noexcept;
  std::size_t internedCount() const { return stringCount_; }

  static InternedString* emptyString() noexcept { return &detail::staticEmptyEntry.entry; }

  // ---- Blocks ---------------------------------------------------------------
  // A block of at least bytes (1 to 72), served by the size class of the next
  // multiple of 4. Inline: a tree takes a block for nearly every node, and
  // with a constant size the class folds away.
  void* allocateBlock(std::size_t bytes) {
    if constexpr (!blocksFromHeap) {
      const std::size_t classIndex = (bytes + 3) / 4 - 1;
      if (bytes != 0 && classes_[classIndex].withRoom != nullptr) {
        return takeBlock(classes_[classIndex], classes_[classIndex].withRoom, 4 * (classIndex + 1));
      }
    }
    return allocateBlockOnNewPage(bytes);
  }
  void freeBlock(void* block) noexcept;
  // The size of a block of allocateBlock; 0 when blocks come from the heap.
  std::size_t blockSizeOf(const void* block) const noexcept {
    if constexpr (blocksFromHeap) return 0;
    return pageOf(block)->blockSize;
  }
  // Whether address lies inside block, a block of allocateBlock.
  bool blockHolds(const void* block, const void* address) const noexcept {
    const std::size_t size = blocksFromHeap ? runtimeBlockSize(const_cast<void*>(block)) : pageOf(block)->blockSize;
    const auto* first = static_cast<const unsigned char*>(block);
    const auto* byte = static_cast<const unsigned char*>(address);
    return byte >= first && byte < first + size;
  }

  // Container memory of any size: pools up to 72 bytes, cut pages up to
  // largestCutBytes, the heap beyond.
  // The store keeps a list of its heap blocks and frees those still held
  // when it is destroyed.
  void* allocate(std::size_t bytes);
  void free(void* memory, std::size_t bytes) noexcept;

  // Blob values of the tree, whose bytes live in vectors of their own: a
  // tree destroyed whole need be walked only when it holds some.
  void blobAdded() noexcept { ++blobCount_; }
  void blobRemoved() noexcept { --blobCount_; }
  std::size_t blobCount() const { return blobCount_; }

  // Blocks handed out and not yet freed (for tests and statistics).
  std::size_t liveBlocks() const { return liveBlocks_; }

  // True when destroying the store releases every pool block at once, so a
  // tree being destroyed whole need only free what lives on the heap.
  static bool releasesBlocksInBulk() noexcept;

  // The 24-byte header at the start of every page and inline area.
  struct PageHeader {
    PageHeader* next;  // pages of the class with room
    PageHeader* previous;
    PageHeader* nextHeld;  // every page the store holds (not the inline areas)
    PageHeader* previousHeld;
    // Index of the last block never handed out, or 0 once all have been:
    // blocks are cut from a page as it fills, so a new page is not written
    // to (and faulted in) ahead of its use.
    std::uint16_t untouched;
    std::uint16_t blockSize;
    std::uint16_t liveBlocks;
    std::uint16_t firstFree;  // index of the first freed block; 0 ends the chain
  };
  static_assert(sizeof(PageHeader) == 24);

 private:
  struct SizeClass {
    PageHeader* withRoom;
    alignas(8) unsigned char area[inlineAreaSize];
  };

  // QCP_VALUE_STORE_USE_HEAP sends every block to the general heap instead
  // of the pools. Under the address sanitizer the pools poison free blocks,
  // so a use after free inside a page is caught as well.
#if defined(QCP_VALUE_STORE_USE_HEAP) && QCP_VALUE_STORE_USE_HEAP
  static constexpr bool blocksFromHeap = true;
#else
  static constexpr bool blocksFromHeap = false;
#endif

  // A block of a page with room: a freed one first, else the next never used.
  void* takeBlock(SizeClass& sizeClass, PageHeader* page, std::size_t blockSize) noexcept {
    auto* bytes = reinterpret_cast<unsigned char*>(page);
    unsigned char* block;
    if (page->firstFree != 0) {
      block = bytes + std::size_t{page->firstFree} * blockSize;
      unpoisonMemory(block, blockSize);
      __builtin_memcpy(&page->firstFree, block, sizeof page->firstFree);
    } else {
      // Untouched blocks go from the end of the page down, so where they
      // stop depends only on the header, not on the kind of page.
      block = bytes + std::size_t{page->untouched} * blockSize;
      unpoisonMemory(block, blockSize);
      const std::size_t next = std::size_t{page->untouched} - 1;
      page->untouched = clearOfHeader(next, blockSize) ? static_cast<std::uint16_t>(next) : 0;
    }
    ++page->liveBlocks;
    ++liveBlocks_;
    if ((page->firstFree | page->untouched) == 0) unlinkWithRoom(sizeClass, page);
    return block;
  }
  // Blocks overlapping a page's header are never handed out; index 0 is
  // therefore free to mark the end of the chain and of the untouched blocks.
  // A multiplication, not a division: sizes that vary at run time would
  // otherwise divide on every block.
  static constexpr bool clearOfHeader(std::size_t index, std::size_t blockSize) {
    return index * blockSize >= sizeof(PageHeader);
  }
  void* allocateBlockOnNewPage(std::size_t bytes);
  static constexpr std::size_t largestCutBytes = 1024;
  void* cutFromPage(std::size_t bytes);
  void returnToPage(void* memory, std::size_t bytes) noexcept;
  void holdPage(PageHeader* page) noexcept;
  void releaseHeldPage(PageHeader* page) noexcept;
  static void formatPage(PageHeader* page, std::size_t pageSize, std::size_t blockSize) noexcept;
  void linkWithRoom(SizeClass& sizeClass, PageHeader* page) noexcept;
  void unlinkWithRoom(SizeClass& sizeClass, PageHeader* page) noexcept;
  bool isInlineArea(const void* memory) const noexcept {
    const auto* byte = static_cast<const unsigned char*>(memory);
    return byte >= reinterpret_cast<const unsigned char*>(classes_) &&
           byte < reinterpret_cast<const unsigned char*>(classes_ + blockClassCount);
  }
  PageHeader* pageOf(const void* block) const noexcept {
    if (isInlineArea(block)) {
      const auto offset = static_cast<std::size_t>(static_cast<const unsigned char*>(block) -
                                                   reinterpret_cast<const unsigned char*>(classes_));
      return const_cast<PageHeader*>(reinterpret_cast<const PageHeader*>(classes_[offset / sizeof(SizeClass)].area));
    }
    return reinterpret_cast<PageHeader*>(reinterpret_cast<std::uintptr_t>(block) &
                                         ~static_cast<std::uintptr_t>(valuePageSize - 1));
  }
  void growStringSet();

  // Links in front of every heap block of allocate(), in one ring.
  struct HeapLink {
    HeapLink* previous;
    HeapLink* next;
  };
  static_assert(sizeof(HeapLink) == 8, "heap blocks stay 8-byte aligned");

  SizeClass classes_[blockClassCount];
  HeapLink heapBlocks_{&heapBlocks_, &heapBlocks_};
  std::size_t blobCount_ = 0;
  std::uint32_t unformattedAreas_ = (1u << blockClassCount) - 1;  // bit i: class i's area is not cut yet
  std::size_t liveBlocks_ = 0;
  PageHeader* heldPages_ = nullptr;  // every page taken from the cache
  PageHeader* cutPage_ = nullptr;    // the page allocate() cuts from now

  // Made once a tree has interned many names, so a small tree (a request
  // body) neither clears nor holds it.
  static constexpr std::size_t recentNameCount = 1024;
  static constexpr std::uint32_t namesBeforeRecent = 64;
  static std::size_t recentNameSlot(std::string_view name) noexcept {
    const auto* bytes = reinterpret_cast<const unsigned char*>(name.data());
    const std::size_t size = name.size();
    const std::uint32_t ends = size >= 4 ? internedText::load32(bytes) * 0x9E3779B1u + internedText::load32(bytes + size - 4)
                                         : internedText::shortWord(bytes, size);
    static_assert(recentNameCount == 1024, "the slot is the top 10 bits");
    return ((ends ^ static_cast<std::uint32_t>(size)) * 0x85EBCA6Bu) >> 22;
  }
  InternedString* internNameSlowly(std::string_view name);
  InternedString* newEntry(std::string_view text);
  InternedString* unsharedEntry(std::string_view text);
  InternedString** recentNames_ = nullptr;
  std::uint32_t namesInterned_ = 0;

  // The set starts in the store's own page, large enough for a request
  // body's names and texts, so a small tree never allocates or rehashes it.
  static constexpr std::uint32_t inlineBucketCount = 32;
  InternedString* inlineBuckets_[inlineBucketCount] = {};
  InternedString** buckets_ = inlineBuckets_;
  std::uint32_t bucketCount_ = inlineBucketCount;
  std::uint32_t stringCount_ = 0;
};

}  // namespace Quor
