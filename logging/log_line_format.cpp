#include "logging/log_line_format.h"

#include <chrono>
#include <cstring>

#include "logging/bounded_format.h"
#include "logging/log_categories.h"
#include "logging/log_platform.h"
#include "logging/program_name.h"

namespace Quor {

const char* levelName(std::int32_t level) {
  switch (level) {
    case LogLevel::Okay:
      return "  OKAY";
    case LogLevel::Warn:
      return "  WARN";
    case LogLevel::Error:
      return " ERROR";
    case LogLevel::Always:
      return "ALWAYS";
    default:
      return "   ???";
  }
}

std::size_t formatTimestamp(char* buffer, std::size_t size, const LogRecord& time) {
  return formatBounded(buffer, size, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", time.year, time.month, time.day,
                       time.hour, time.minute, time.second, time.millisecond);
}

std::size_t formatFileTimestamp(char* buffer, std::size_t size, const LogRecord& time) {
  return formatBounded(buffer, size, "%04d-%02d-%02dT%02d-%02d-%02d", time.year, time.month, time.day, time.hour,
                       time.minute, time.second);
}

std::int64_t elapsedMilliseconds() {
  using Clock = std::chrono::steady_clock;
  static const Clock::time_point start = Clock::now();
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

namespace {

// Appends to the line while room is left before the two reserved bytes.
class LineWriter {
 public:
  LineWriter(char* buffer, std::size_t limit) : buffer_(buffer), limit_(limit) {}

  bool full() const { return length_ >= limit_; }
  std::size_t length() const { return length_; }

  void put(char c) {
    if (!full()) {
      buffer_[length_++] = c;
    }
  }
  void put(const char* text) {
    for (; text != nullptr && *text != '\0' && !full(); ++text) {
      buffer_[length_++] = *text;
    }
  }
  // Small expansions go through a scratch buffer so that the line itself is
  // only ever written within its limit.
  template <typename Format>
  void putFormatted(Format format) {
    char scratch[64];
    format(scratch, sizeof scratch);
    put(scratch);
  }

 private:
  char* buffer_;
  std::size_t limit_;
  std::size_t length_ = 0;
};

void expand(LineWriter& line, char code, const LogRecord& record) {
  switch (code) {
    case 'D':
      line.putFormatted([&](char* scratch, std::size_t size) { formatTimestamp(scratch, size, record); });
      break;
    case 'E':
      line.put(programName());
      break;
    case 'G':
      // Up to 64 names of three letters with separators: 256 bytes.
      {
        char names[kCategoryCount * 4];
        categoryNames(names, sizeof names, record.category);
        line.put(names);
      }
      break;
    case 'H':
      line.putFormatted([](char* scratch, std::size_t size) {
        const std::int64_t elapsed = elapsedMilliseconds();
        formatBounded(scratch, size, "%06d.%03d", static_cast<int>(elapsed / 1000), static_cast<int>(elapsed % 1000));
      });
      break;
    case 'L':
      line.put(levelName(record.level));
      break;
    case 'M':
      line.put(record.message);
      break;
    case 'T':
      line.putFormatted([](char* scratch, std::size_t size) {
        formatBounded(scratch, size, "%08X", static_cast<unsigned>(currentThreadId()));
      });
      break;
    default:
      line.put(code);
      break;
  }
}

}  // namespace

std::size_t formatLine(char* buffer, std::size_t size, const char* format, const LogRecord& record) {
  if (buffer == nullptr || size == 0) {
    return 0;
  }
  if (size < 2) {
    buffer[0] = '\0';
    return 0;
  }
  LineWriter line(buffer, size - 2);
  for (const char* p = format != nullptr ? format : ""; *p != '\0' && !line.full(); ++p) {
    if (*p != '#') {
      line.put(*p);
      continue;
    }
    if (p[1] == '\0') {
      break;
    }
    ++p;
    expand(line, *p, record);
  }
  std::size_t length = line.length();
  if (length == 0 || buffer[length - 1] != '\n') {
    buffer[length++] = '\n';
  }
  buffer[length] = '\0';
  return length;
}

}  // namespace Quor
