#include <windows.h>

#include <cstring>
#include <utility>

#include "platform/find_handle.h"

namespace Quor {

namespace {

void store(const WIN32_FIND_DATAA& data, FoundEntry& entry) {
  // The system terminates the name; strnlen keeps a broken record from
  // reading past the field.
  entry.name.assign(data.cFileName, strnlen(data.cFileName, sizeof data.cFileName));
  entry.attributes = data.dwFileAttributes;
  entry.reparseTag = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? data.dwReserved0 : 0;
}

}  // namespace

FindHandle::~FindHandle() { close(); }

FindHandle::FindHandle(FindHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

FindHandle& FindHandle::operator=(FindHandle&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

FindHandle FindHandle::start(const std::string& path, bool directoriesOnly, FoundEntry& entry) {
  WIN32_FIND_DATAA data{};
  const HANDLE handle = directoriesOnly ? FindFirstFileExA(path.c_str(), FindExInfoStandard, &data,
                                                           FindExSearchLimitToDirectories, nullptr, 0)
                                        : FindFirstFileA(path.c_str(), &data);
  // FindFirstFile* fail with INVALID_HANDLE_VALUE, never with a null handle.
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return FindHandle();
  store(data, entry);
  return FindHandle(handle);
}

bool FindHandle::next(FoundEntry& entry) {
  if (handle_ == nullptr) return false;
  WIN32_FIND_DATAA data{};
  if (!FindNextFileA(static_cast<HANDLE>(handle_), &data)) {
    close();
    return false;
  }
  store(data, entry);
  return true;
}

void FindHandle::close() {
  if (handle_ == nullptr) return;
  FindClose(static_cast<HANDLE>(std::exchange(handle_, nullptr)));
}

}  // namespace Quor
