#pragma once
// A lock that needs no construction at run time, for tables that must be
// usable before (and after) the library's dynamic initialisation, and that
// are locked rarely and briefly.

#include <atomic>
#include <thread>

namespace Quor {

class SpinLock {
 public:
  constexpr SpinLock() = default;
  SpinLock(const SpinLock&) = delete;
  SpinLock& operator=(const SpinLock&) = delete;

  void lock() {
    while (flag_.test_and_set(std::memory_order_acquire)) {
      std::this_thread::yield();
    }
  }
  void unlock() { flag_.clear(std::memory_order_release); }

 private:
  std::atomic_flag flag_ = ATOMIC_FLAG_INIT;
};

}  // namespace Quor
