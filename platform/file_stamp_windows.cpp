#include <windows.h>

#include "platform/file_stamp.h"

namespace Quor {

namespace {

std::uint64_t joined(DWORD high, DWORD low) { return (static_cast<std::uint64_t>(high) << 32) | low; }

}  // namespace

// GetFileAttributesExA asks the file system without opening the file: under
// Wine it costs about a fifteenth of an open and a read.
std::optional<FileStamp> readFileStamp(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return FileStamp{data.dwFileAttributes, joined(data.nFileSizeHigh, data.nFileSizeLow),
                   joined(data.ftCreationTime.dwHighDateTime, data.ftCreationTime.dwLowDateTime),
                   joined(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime)};
}

std::uint32_t fileAttributes(const std::string& path) {
  const std::optional<FileStamp> stamp = readFileStamp(path);
  return stamp ? stamp->attributes : invalidFileAttributes;
}

}  // namespace Quor
