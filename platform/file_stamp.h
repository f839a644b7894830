#pragma once
// What the file system tells of a file without opening it: its attributes,
// size and times. Two equal stamps of one path, taken a moment apart, mean
// its contents were not written in between, short of a writer that puts
// both times back, or one that keeps the size on a file system whose write
// times are coarse (FAT keeps them to 2 seconds).

#include <cstdint>
#include <optional>
#include <string>

namespace Quor {

// GetFileAttributes's answer for a file that cannot be asked about.
inline constexpr std::uint32_t invalidFileAttributes = 0xFFFFFFFF;

struct FileStamp {
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;
  // FILETIME values: 100 ns units since 1601.
  std::uint64_t creationTime = 0;
  std::uint64_t lastWriteTime = 0;

  bool operator==(const FileStamp&) const = default;
};

// None when `path` names nothing that can be asked about.
std::optional<FileStamp> readFileStamp(const std::string& path);

// The attributes alone; invalidFileAttributes when there are none to read.
std::uint32_t fileAttributes(const std::string& path);

}  // namespace Quor
