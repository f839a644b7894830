#pragma once
// Marks memory the pools hold but have not handed out, so the address
// sanitizer reports a use of it; nothing without the sanitizer.

#include <cstddef>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QCP_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QCP_ASAN 1
#endif

#ifdef QCP_ASAN
extern "C" void __asan_poison_memory_region(void const volatile* address, std::size_t size);
extern "C" void __asan_unpoison_memory_region(void const volatile* address, std::size_t size);
#endif

namespace Quor {

inline void poisonMemory([[maybe_unused]] const void* memory, [[maybe_unused]] std::size_t bytes) {
#ifdef QCP_ASAN
  __asan_poison_memory_region(memory, bytes);
#endif
}

inline void unpoisonMemory([[maybe_unused]] const void* memory, [[maybe_unused]] std::size_t bytes) {
#ifdef QCP_ASAN
  __asan_unpoison_memory_region(memory, bytes);
#endif
}

}  // namespace Quor
