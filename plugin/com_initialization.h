#pragma once
// COM initialized on the calling thread for a scope.

#include <cstdint>

namespace Quor {

// The initialization call: CoInitialize(nullptr) unless a test puts one of
// its own in place. Answers an HRESULT.
using ComInitializer = std::int32_t (*)();

// Initializes COM for the calling thread in the single-threaded apartment
// (CoInitialize) and uninitializes it at the end of the scope, but only when
// the initialization succeeded (S_OK, or S_FALSE when the thread was already
// in that apartment). A thread already in the multithreaded apartment answers
// RPC_E_CHANGED_MODE: COM still works there, and an unmatched CoUninitialize
// would tear down the apartment of whoever initialized it (the host's job
// thread).
class ComInitialization {
 public:
  explicit ComInitialization(ComInitializer initialize = nullptr);
  ~ComInitialization();
  ComInitialization(const ComInitialization&) = delete;
  ComInitialization& operator=(const ComInitialization&) = delete;

  // Whether COM works on the thread: initialized here, or the thread was
  // already in the multithreaded apartment.
  bool usable() const { return usable_; }
  // What the initialization answered.
  std::int32_t result() const { return result_; }

 private:
  std::int32_t result_;
  bool mustUninitialize_;
  bool usable_;
};

}  // namespace Quor
