// Every form of the global operator new and delete of the DLL, on the
// library's counting allocation functions, so that the memory statistics the
// core reads cover every C++ allocation of the library.
//
// Aligned forms over-allocate and keep the address of the underlying block
// just before the aligned one.

#include <cstddef>
#include <cstdint>
#include <new>

#include "binding/library_allocator.h"

namespace {

void* allocateOrThrow(std::size_t size) {
  if (size == 0) size = 1;
  for (;;) {
    if (void* block = Quor::libraryAllocate(size)) return block;
    const std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

void* allocateAligned(std::size_t size, std::align_val_t alignment) {
  const auto align = static_cast<std::size_t>(alignment);
  if (align == 0 || (align & (align - 1)) != 0) throw std::bad_alloc();
  const std::size_t extra = align - 1 + sizeof(void*);
  if (size > SIZE_MAX - extra) throw std::bad_alloc();
  void* block = allocateOrThrow(size + extra);
  const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(block) + sizeof(void*);
  const std::uintptr_t aligned = (first + align - 1) & ~static_cast<std::uintptr_t>(align - 1);
  reinterpret_cast<void**>(aligned)[-1] = block;
  return reinterpret_cast<void*>(aligned);
}

void freeAligned(void* pointer) noexcept {
  if (pointer != nullptr) Quor::libraryFree(static_cast<void**>(pointer)[-1]);
}

}  // namespace

void* operator new(std::size_t size) { return allocateOrThrow(size); }
void* operator new[](std::size_t size) { return allocateOrThrow(size); }

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocateOrThrow(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocateOrThrow(size);
  } catch (...) {
    return nullptr;
  }
}

void operator delete(void* pointer) noexcept { Quor::libraryFree(pointer); }
void operator delete[](void* pointer) noexcept { Quor::libraryFree(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { Quor::libraryFree(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { Quor::libraryFree(pointer); }
void operator delete(void* pointer, const std::nothrow_t&) noexcept { Quor::libraryFree(pointer); }
void operator delete[](void* pointer, const std::nothrow_t&) noexcept { Quor::libraryFree(pointer); }

void* operator new(std::size_t size, std::align_val_t alignment) { return allocateAligned(size, alignment); }
void* operator new[](std::size_t size, std::align_val_t alignment) { return allocateAligned(size, alignment); }
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  try {
    return allocateAligned(size, alignment);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  try {
    return allocateAligned(size, alignment);
  } catch (...) {
    return nullptr;
  }
}

void operator delete(void* pointer, std::align_val_t) noexcept { freeAligned(pointer); }
void operator delete[](void* pointer, std::align_val_t) noexcept { freeAligned(pointer); }
void operator delete(void* pointer, std::size_t, std::align_val_t) noexcept { freeAligned(pointer); }
void operator delete[](void* pointer, std::size_t, std::align_val_t) noexcept { freeAligned(pointer); }
void operator delete(void* pointer, std::align_val_t, const std::nothrow_t&) noexcept { freeAligned(pointer); }
void operator delete[](void* pointer, std::align_val_t, const std::nothrow_t&) noexcept { freeAligned(pointer); }
