#pragma once
// Levels, category bits and the record that the logger hands to its targets.

#include <cstddef>
#include <cstdint>

namespace Quor {

// Levels are plain signed numbers so that the host's own level numbers pass
// through unchanged; a record at or above a minimum level passes it.
namespace LogLevel {
inline constexpr std::int32_t Okay = 0;
inline constexpr std::int32_t Warn = 1;
inline constexpr std::int32_t Error = 2;
inline constexpr std::int32_t Always = 3;
}  // namespace LogLevel

// Bit i of a category mask stands for category i; a mask of 0 is "no
// category". These are the categories every process has from the start.
namespace LogCategory {
inline constexpr std::uint64_t None = 0;
inline constexpr std::uint64_t Dbg = std::uint64_t{1} << 0;
inline constexpr std::uint64_t Gen = std::uint64_t{1} << 1;
inline constexpr std::uint64_t Xtr = std::uint64_t{1} << 2;
inline constexpr std::uint64_t Prf = std::uint64_t{1} << 3;
inline constexpr std::uint64_t Mem = std::uint64_t{1} << 4;
inline constexpr std::uint64_t Dsk = std::uint64_t{1} << 5;
inline constexpr std::uint64_t Net = std::uint64_t{1} << 6;
inline constexpr std::uint64_t Tst = std::uint64_t{1} << 7;
inline constexpr std::uint64_t Loc = std::uint64_t{1} << 8;
}  // namespace LogCategory

// What a target receives for one accepted log call. The time is local time;
// `message` points into the caller's buffer and is valid only during the
// target's write.
struct LogRecord {
  std::int32_t year = 0;
  std::int32_t month = 0;
  std::int32_t day = 0;
  std::int32_t hour = 0;
  std::int32_t minute = 0;
  std::int32_t second = 0;
  std::int32_t millisecond = 0;
  std::int32_t level = 0;
  std::uint64_t category = 0;
  const char* message = nullptr;
};

// Size of the message and line buffers; a message keeps at most 4095
// characters.
inline constexpr std::size_t kLogBufferSize = 4096;

}  // namespace Quor
