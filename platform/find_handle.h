#pragma once
// An open system directory search (FindFirstFileA / FindFirstFileExA,
// FindNextFileA), closed with FindClose exactly once: when the listing ends,
// on close(), or when the handle is destroyed.

#include <string>

#include "platform/found_entry.h"

namespace Quor {

class FindHandle {
 public:
  FindHandle() = default;
  ~FindHandle();
  FindHandle(FindHandle&& other) noexcept;
  FindHandle& operator=(FindHandle&& other) noexcept;
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;

  // Starts the system search on `path` and stores its first entry in `entry`:
  // with `directoriesOnly` through FindFirstFileExA limited to directories
  // (a hint that file systems may ignore), else through FindFirstFileA. The
  // handle is not open when the search cannot start.
  static FindHandle start(const std::string& path, bool directoriesOnly, FoundEntry& entry);

  bool isOpen() const { return handle_ != nullptr; }

  // Stores the next entry in `entry`; at the end of the listing (or on any
  // failure) closes the handle and answers false.
  bool next(FoundEntry& entry);

  void close();

 private:
  explicit FindHandle(void* handle) : handle_(handle) {}

  void* handle_ = nullptr;
};

}  // namespace Quor
