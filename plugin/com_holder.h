#pragma once
// Owns one COM interface pointer and releases it when it goes out of scope, so
// every return path of the shell routines releases what it created.
//
//   ComHolder<IShellLinkA> link;
//   HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, link.out());
//   if (FAILED(hr) || !link) return error;   // nothing leaks either way
//   link->SetPath(...);

#include <unknwn.h>

namespace Quor {

template <class Interface>
class ComHolder {
 public:
  ComHolder() = default;
  ~ComHolder() { reset(); }

  ComHolder(const ComHolder&) = delete;
  ComHolder& operator=(const ComHolder&) = delete;
  ComHolder(ComHolder&& other) noexcept : pointer_(other.pointer_) { other.pointer_ = nullptr; }
  ComHolder& operator=(ComHolder&& other) noexcept {
    if (this != &other) {
      reset();
      pointer_ = other.pointer_;
      other.pointer_ = nullptr;
    }
    return *this;
  }

  // Releases the held pointer, if any.
  void reset() {
    if (pointer_ != nullptr) {
      Interface* const held = pointer_;
      pointer_ = nullptr;
      held->Release();
    }
  }

  // The out-parameter of a creating call (CoCreateInstance, QueryInterface):
  // releases what is held first, so the holder never leaks when reused.
  void** out() {
    reset();
    return reinterpret_cast<void**>(&pointer_);
  }

  Interface* get() const { return pointer_; }
  Interface* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

 private:
  Interface* pointer_ = nullptr;
};

}  // namespace Quor
