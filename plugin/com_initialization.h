#pragma once
// COM initialized on the calling thread for a scope.

namespace Quor {

// Initializes COM for the calling thread in the single-threaded apartment
// (CoInitialize) and uninitializes it at the end of the scope, but only when
// the initialization succeeded (S_OK, or S_FALSE when the thread was already
// in that apartment). A thread already in the multithreaded apartment answers
// RPC_E_CHANGED_MODE: COM still works there, and an unmatched CoUninitialize
// would tear down the apartment of whoever initialized it (the host's job
// thread).
class ComInitialization {
 public:
  ComInitialization();
  ~ComInitialization();
  ComInitialization(const ComInitialization&) = delete;
  ComInitialization& operator=(const ComInitialization&) = delete;

 private:
  bool mustUninitialize_;
};

}  // namespace Quor
