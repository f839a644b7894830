#include "binding/value_store.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "binding/library_allocator.h"
#include "binding/memory_poisoning.h"
#include "binding/page_cache.h"

namespace Quor {
namespace {

constexpr std::size_t headerSize = sizeof(ValueStore::PageHeader);
constexpr std::size_t entryOverhead = sizeof(InternedString) + 1;

InternedString& staticEmptyString = detail::staticEmptyEntry.entry;

std::size_t classIndexFor(std::size_t bytes) { return (bytes + 3) / 4 - 1; }

[[maybe_unused]] void* heapAllocate(std::size_t bytes) {
  void* memory = std::malloc(bytes == 0 ? 1 : bytes);
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

// Arrays and texts too long for the pages come from the library's counting
// functions, so the allocation statistics show what a large or hostile
// document costs.
void* countedHeapAllocate(std::size_t bytes) {
  void* memory = libraryAllocate(bytes);
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

}  // namespace

void* allocateFromStore(ValueStore* store, std::size_t bytes) { return store->allocate(bytes); }
void freeToStore(ValueStore* store, void* memory, std::size_t bytes) noexcept { store->free(memory, bytes); }



// A class's inline area is cut into blocks when the class is first used, so
// a store of a small tree formats only the classes it needs.
ValueStore::ValueStore() {
  for (SizeClass& sizeClass : classes_) sizeClass.withRoom = nullptr;
}

static_assert(sizeof(ValueStore) <= valuePageSize);

ValueStore* ValueStore::create() {
  void* page = takeValuePage();
  return new (page) ValueStore();
}

void ValueStore::destroy(ValueStore* store) noexcept {
  store->~ValueStore();
  giveValuePage(store);
}

ValueStore::~ValueStore() {
  // Pool entries go with their pages below, or, with every block on the
  // heap, one by one here; longer ones are in the list of heap blocks.
  if (blocksFromHeap) {
    for (std::uint32_t bucket = 0; bucket < bucketCount_; ++bucket) {
      for (InternedString* entry = buckets_[bucket]; entry != nullptr;) {
        InternedString* next = entry->next;
        if (entryOverhead + entry->length <= largestBlock) std::free(entry);
        entry = next;
      }
    }
  }
  if (buckets_ != inlineBuckets_) std::free(buckets_);
  std::free(recentNames_);
  for (HeapLink* link = heapBlocks_.next; link != &heapBlocks_;) {
    HeapLink* next = link->next;
    libraryFree(link);
    link = next;
  }
  // Pages still held belong to blocks of a tree destroyed whole.
  for (PageHeader* page = heldPages_; page != nullptr;) {
    PageHeader* next = page->nextHeld;
    unpoisonMemory(page, valuePageSize);
    giveValuePage(page);
    page = next;
  }
  unpoisonMemory(classes_, sizeof classes_);
}

bool ValueStore::releasesBlocksInBulk() noexcept { return !blocksFromHeap; }

void ValueStore::formatPage(PageHeader* page, std::size_t pageSize, std::size_t blockSize) noexcept {
  page->next = page->previous = nullptr;
  page->blockSize = static_cast<std::uint16_t>(blockSize);
  page->liveBlocks = 0;
  page->firstFree = 0;
  const std::size_t last = pageSize / blockSize - 1;
  page->untouched = clearOfHeader(last, blockSize) ? static_cast<std::uint16_t>(last) : 0;
  poisonMemory(reinterpret_cast<unsigned char*>(page) + headerSize, pageSize - headerSize);
}

void ValueStore::linkWithRoom(SizeClass& sizeClass, PageHeader* page) noexcept {
  page->previous = nullptr;
  page->next = sizeClass.withRoom;
  if (sizeClass.withRoom != nullptr) sizeClass.withRoom->previous = page;
  sizeClass.withRoom = page;
}

void ValueStore::unlinkWithRoom(SizeClass& sizeClass, PageHeader* page) noexcept {
  if (page->previous != nullptr) page->previous->next = page->next;
  else sizeClass.withRoom = page->next;
  if (page->next != nullptr) page->next->previous = page->previous;
  page->next = page->previous = nullptr;
}

void* ValueStore::allocateBlockOnNewPage(std::size_t bytes) {
  if constexpr (blocksFromHeap) {
    ++liveBlocks_;
    return heapAllocate(bytes);
  }
  const std::size_t classIndex = classIndexFor(bytes == 0 ? 1 : bytes);
  const std::size_t blockSize = 4 * (classIndex + 1);
  SizeClass& sizeClass = classes_[classIndex];
  PageHeader* page = sizeClass.withRoom;
  if (page == nullptr && (unformattedAreas_ & (1u << classIndex)) != 0) {
    unformattedAreas_ &= ~(1u << classIndex);
    page = reinterpret_cast<PageHeader*>(sizeClass.area);
    formatPage(page, inlineAreaSize, blockSize);
    linkWithRoom(sizeClass, page);
  } else if (page == nullptr) {
    page = static_cast<PageHeader*>(takeValuePage());
    formatPage(page, valuePageSize, blockSize);
    holdPage(page);
    linkWithRoom(sizeClass, page);
  }
  return takeBlock(sizeClass, page, blockSize);
}

void ValueStore::freeBlock(void* block) noexcept {
  if (block == nullptr) return;
  --liveBlocks_;
  if constexpr (blocksFromHeap) {
    std::free(block);
    return;
  }
  PageHeader* page = pageOf(block);
  SizeClass& sizeClass = classes_[page->blockSize / 4 - 1];
  const bool wasFull = (page->firstFree | page->untouched) == 0;
  const auto index = static_cast<std::uint16_t>(
      (static_cast<unsigned char*>(block) - reinterpret_cast<unsigned char*>(page)) / page->blockSize);
  std::memcpy(block, &page->firstFree, sizeof page->firstFree);
  poisonMemory(block, page->blockSize);
  page->firstFree = index;
  --page->liveBlocks;
  if (wasFull) linkWithRoom(sizeClass, page);
  if (page->liveBlocks == 0 && !isInlineArea(page)) {
    unlinkWithRoom(sizeClass, page);
    releaseHeldPage(page);
  }
}

void* ValueStore::allocate(std::size_t bytes) {
  if (bytes <= largestBlock) return allocateBlock(bytes);
  if (!blocksFromHeap && bytes <= largestCutBytes) return cutFromPage(bytes);
  auto* link = static_cast<HeapLink*>(countedHeapAllocate(sizeof(HeapLink) + bytes));
  link->previous = &heapBlocks_;
  link->next = heapBlocks_.next;
  heapBlocks_.next->previous = link;
  heapBlocks_.next = link;
  return link + 1;
}

void ValueStore::free(void* memory, std::size_t bytes) noexcept {
  if (bytes <= largestBlock) {
    freeBlock(memory);
    return;
  }
  if (memory == nullptr) return;
  if (!blocksFromHeap && bytes <= largestCutBytes) {
    returnToPage(memory, bytes);
    return;
  }
  HeapLink* link = static_cast<HeapLink*>(memory) - 1;
  link->previous->next = link->next;
  link->next->previous = link->previous;
  libraryFree(link);
}

void ValueStore::holdPage(PageHeader* page) noexcept {
  page->previousHeld = nullptr;
  page->nextHeld = heldPages_;
  if (heldPages_ != nullptr) heldPages_->previousHeld = page;
  heldPages_ = page;
}

void ValueStore::releaseHeldPage(PageHeader* page) noexcept {
  if (page->previousHeld != nullptr) page->previousHeld->nextHeld = page->nextHeld;
  else heldPages_ = page->nextHeld;
  if (page->nextHeld != nullptr) page->nextHeld->previousHeld = page->previousHeld;
  unpoisonMemory(page, valuePageSize);
  giveValuePage(page);
}

// Cut pages serve allocations of 73 to largestCutBytes bytes (long texts,
// item arrays) one after the other, as a heap block each would cost far
// more. A cut page counts its live allocations in liveBlocks and keeps its
// next free offset in untouched; it goes back to the cache when its last
// allocation is freed, or starts over if it is still the page being cut.
void* ValueStore::cutFromPage(std::size_t bytes) {
  const std::size_t size = (bytes + 7) & ~std::size_t{7};
  PageHeader* page = cutPage_;
  if (page == nullptr || page->untouched + size > valuePageSize) {
    page = static_cast<PageHeader*>(takeValuePage());
    page->next = page->previous = nullptr;
    page->blockSize = 0;
    page->liveBlocks = 0;
    page->firstFree = 0;
    page->untouched = static_cast<std::uint16_t>(headerSize);
    poisonMemory(reinterpret_cast<unsigned char*>(page) + headerSize, valuePageSize - headerSize);
    holdPage(page);
    // The page cut before stays held by its live allocations, and goes back
    // with the last of them.
    if (cutPage_ != nullptr && cutPage_->liveBlocks == 0) releaseHeldPage(cutPage_);
    cutPage_ = page;
  }
  unsigned char* memory = reinterpret_cast<unsigned char*>(page) + page->untouched;
  unpoisonMemory(memory, size);
  page->untouched = static_cast<std::uint16_t>(page->untouched + size);
  ++page->liveBlocks;
  return memory;
}

void ValueStore::returnToPage(void* memory, std::size_t bytes) noexcept {
  auto* page = reinterpret_cast<PageHeader*>(reinterpret_cast<std::uintptr_t>(memory) &
                                             ~static_cast<std::uintptr_t>(valuePageSize - 1));
  poisonMemory(memory, (bytes + 7) & ~std::size_t{7});
  if (--page->liveBlocks != 0) return;
  if (page == cutPage_) {
    page->untouched = static_cast<std::uint16_t>(headerSize);
    return;
  }
  releaseHeldPage(page);
}

InternedString* ValueStore::intern(std::string_view text, std::uint32_t hash) {
  if (text.empty()) return emptyString();
  for (InternedString* entry = buckets_[hash & (bucketCount_ - 1)]; entry != nullptr; entry = entry->next) {
    if (entry->hash == hash && entry->length == text.size() && sameText(entry->text(), text.data(), text.size())) {
      ++entry->references;
      return entry;
    }
  }
  if (stringCount_ + 1 > bucketCount_) growStringSet();
  InternedString* entry = newEntry(text);
  entry->hash = hash;
  InternedString*& bucket = buckets_[hash & (bucketCount_ - 1)];
  entry->next = bucket;
  bucket = entry;
  ++stringCount_;
  return entry;
}

InternedString* ValueStore::newEntry(std::string_view text) {
  auto* entry = static_cast<InternedString*>(allocate(entryOverhead + text.size()));
  entry->references = 1;
  entry->length = static_cast<std::uint32_t>(text.size());
  std::memcpy(entry->text(), text.data(), text.size());
  entry->text()[text.size()] = '\0';
  return entry;
}

// An entry outside the set is marked by pointing at the shared empty entry,
// which no entry of the set ever does.
InternedString* ValueStore::unsharedEntry(std::string_view text) {
  InternedString* entry = newEntry(text);
  entry->hash = 0;
  entry->next = &staticEmptyString;
  return entry;
}

InternedString* ValueStore::internCopy(const InternedString* source) {
  if (source->next == &staticEmptyString || source->length > longestSharedText) return unsharedEntry(source->view());
  return intern(source->view(), source->hash);
}

// A name the table of recent names did not hold, or any name before the
// tree has interned enough of them to make the table.
InternedString* ValueStore::internNameSlowly(std::string_view name) {
  if (name.empty()) return emptyString();
  InternedString* entry = intern(name, internHash(name));
  if (recentNames_ == nullptr && ++namesInterned_ >= namesBeforeRecent) {
    recentNames_ = static_cast<InternedString**>(std::calloc(recentNameCount, sizeof(InternedString*)));
  }
  if (recentNames_ != nullptr) recentNames_[recentNameSlot(name)] = entry;
  return entry;
}

void ValueStore::release(InternedString* entry) noexcept {
  if (entry == &staticEmptyString || --entry->references != 0) return;
  if (entry->next == &staticEmptyString) {
    free(entry, entryOverhead + entry->length);
    return;
  }
  InternedString** link = &buckets_[entry->hash & (bucketCount_ - 1)];
  while (*link != entry) link = &(*link)->next;
  *link = entry->next;
  --stringCount_;
  if (recentNames_ != nullptr) {
    if (InternedString*& recent = recentNames_[recentNameSlot(entry->view())]; recent == entry) recent = nullptr;
  }
  free(entry, entryOverhead + entry->length);
}

// Doubles the bucket count so the load factor stays at most 1.
void ValueStore::growStringSet() {
  const std::uint32_t newCount = bucketCount_ * 2;
  auto* newBuckets = static_cast<InternedString**>(std::calloc(newCount, sizeof(InternedString*)));
  if (newBuckets == nullptr) throw std::bad_alloc();
  for (std::uint32_t bucket = 0; bucket < bucketCount_; ++bucket) {
    for (InternedString* entry = buckets_[bucket]; entry != nullptr;) {
      InternedString* next = entry->next;
      InternedString*& target = newBuckets[entry->hash & (newCount - 1)];
      entry->next = target;
      target = entry;
      entry = next;
    }
  }
  if (buckets_ != inlineBuckets_) std::free(buckets_);
  buckets_ = newBuckets;
  bucketCount_ = newCount;
}

}  // namespace Quor
