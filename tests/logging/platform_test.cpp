// The logger's view of the operating system: threads, time.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>

#include "logging/log_line_format.h"
#include "logging/log_platform.h"
#include "platform_test_support.h"

namespace Quor {
namespace {

std::string threadLine() {
  LogRecord record;
  char line[64];
  formatLine(line, sizeof line, "#T", record);
  return line;
}

std::string expectedThreadLine() {
  char text[16];
  std::snprintf(text, sizeof text, "%08X\n", static_cast<unsigned>(systemThreadIdForTest()));
  return text;
}

TEST(LogPlatform, ThreadCodeIsTheSystemsThreadIdentifier) {
  EXPECT_EQ(currentThreadId(), systemThreadIdForTest());
  EXPECT_EQ(threadLine(), expectedThreadLine());
  std::string otherLine;
  std::string otherExpected;
  std::thread other([&] {
    otherLine = threadLine();
    otherExpected = expectedThreadLine();
  });
  other.join();
  EXPECT_EQ(otherLine, otherExpected);
  EXPECT_NE(otherLine, threadLine());
}

TEST(LogPlatform, LocalTimeFieldsAreInRange) {
  LogRecord record;
  currentTime(record);
  EXPECT_GE(record.year, 2024);
  EXPECT_GE(record.month, 1);
  EXPECT_LE(record.month, 12);
  EXPECT_GE(record.day, 1);
  EXPECT_LE(record.day, 31);
  EXPECT_LE(record.hour, 23);
  EXPECT_LE(record.minute, 59);
  EXPECT_LE(record.second, 60);
  EXPECT_GE(record.millisecond, 0);
  EXPECT_LE(record.millisecond, 999);
}

}  // namespace
}  // namespace Quor
