#include "logging/log_line_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>

#include "logging/log_categories.h"
#include "logging/program_name.h"

namespace Quor {
namespace {

LogRecord sampleRecord(const char* message = "disk full") {
  LogRecord record;
  record.year = 2024;
  record.month = 3;
  record.day = 7;
  record.hour = 14;
  record.minute = 5;
  record.second = 9;
  record.millisecond = 42;
  record.level = LogLevel::Error;
  record.category = LogCategory::Dbg | LogCategory::Gen;
  record.message = message;
  return record;
}

std::string line(const char* format, const LogRecord& record) {
  char buffer[kLogBufferSize];
  const std::size_t length = formatLine(buffer, sizeof buffer, format, record);
  EXPECT_EQ(length, std::strlen(buffer));
  return buffer;
}

TEST(LevelName, SixCharacterNamesOfTheFourLevels) {
  EXPECT_STREQ(levelName(LogLevel::Okay), "  OKAY");
  EXPECT_STREQ(levelName(LogLevel::Warn), "  WARN");
  EXPECT_STREQ(levelName(LogLevel::Error), " ERROR");
  EXPECT_STREQ(levelName(LogLevel::Always), "ALWAYS");
  EXPECT_STREQ(levelName(4), "   ???");
  EXPECT_STREQ(levelName(-1), "   ???");
}

TEST(Timestamps, RecordTimeAsTextAndForFileNames) {
  char buffer[64];
  formatTimestamp(buffer, sizeof buffer, sampleRecord());
  EXPECT_STREQ(buffer, "2024-03-07T14:05:09.042");
  formatFileTimestamp(buffer, sizeof buffer, sampleRecord());
  EXPECT_STREQ(buffer, "2024-03-07T14-05-09");
  EXPECT_EQ(formatTimestamp(buffer, 8, sampleRecord()), 7u);
  EXPECT_STREQ(buffer, "2024-03");
}

TEST(FormatLine, ExpandsEveryCode) {
  const LogRecord record = sampleRecord();
  EXPECT_EQ(line("#D| #L| #G| #M", record), "2024-03-07T14:05:09.042|  ERROR| DBG;GEN| disk full\n");
  EXPECT_EQ(line("#E", record), std::string(programName()) + "\n");
  EXPECT_TRUE(std::regex_match(line("#T", record), std::regex("[0-9A-F]{8}\n"))) << line("#T", record);
  EXPECT_TRUE(std::regex_match(line("#H", record), std::regex("[0-9]{6}\\.[0-9]{3}\n"))) << line("#H", record);
  EXPECT_EQ(line("#L", sampleRecord()), " ERROR\n");
}

TEST(FormatLine, HashBeforeOtherCharactersWritesThem) {
  const LogRecord record = sampleRecord();
  EXPECT_EQ(line("100## #x#-", record), "100# x-\n");
  EXPECT_EQ(line("#d#m", record), "dm\n");
  // A lone "#" at the end writes nothing and reads nothing beyond the end.
  EXPECT_EQ(line("end#", record), "end\n");
  EXPECT_EQ(line("#", record), "\n");
}

TEST(FormatLine, CategoryNamesLowestBitFirst) {
  LogRecord record = sampleRecord();
  record.category = 0;
  EXPECT_EQ(line("[#G]", record), "[]\n");
  record.category = LogCategory::Loc | LogCategory::Dbg | LogCategory::Xtr;
  EXPECT_EQ(line("#G", record), "DBG;XTR;LOC\n");
  record.category = std::uint64_t{1} << 63;
  if (logCategories().inUse() < 64) {
    EXPECT_EQ(line("#G", record), "???\n");
  }
}

TEST(FormatLine, EndsWithExactlyOneLineFeed) {
  EXPECT_EQ(line("#M", sampleRecord("x\n")), "x\n");
  EXPECT_EQ(line("#M", sampleRecord("x")), "x\n");
  EXPECT_EQ(line("#M", sampleRecord("")), "\n");
  EXPECT_EQ(line("#M", sampleRecord(nullptr)), "\n");
  EXPECT_EQ(line("", sampleRecord()), "\n");
  EXPECT_EQ(line(nullptr, sampleRecord()), "\n");
  // Only a final line feed counts; earlier ones are copied.
  EXPECT_EQ(line("#M", sampleRecord("a\nb")), "a\nb\n");
  EXPECT_EQ(line("#M", sampleRecord("a\n\n")), "a\n\n");
}

// The buffer sits inside a larger one whose surplus must stay untouched.
class FormatLineLimits : public ::testing::Test {
 protected:
  static constexpr char kCanary = '\x5A';
  void SetUp() override { std::memset(storage_, kCanary, sizeof storage_); }
  bool canaryIntact(std::size_t from) const {
    for (std::size_t i = from; i < sizeof storage_; ++i) {
      if (storage_[i] != kCanary) {
        return false;
      }
    }
    return true;
  }
  char storage_[64];
};

TEST_F(FormatLineLimits, LongTextIsCutKeepingRoomForTheLineFeed) {
  const std::size_t length = formatLine(storage_, 16, "#M", sampleRecord("0123456789abcdefghij"));
  EXPECT_EQ(length, 15u);
  EXPECT_STREQ(storage_, "0123456789abcd\n");
  EXPECT_TRUE(canaryIntact(16));
}

TEST_F(FormatLineLimits, TextFillingTheBufferExactly) {
  // 14 characters fill the 16-byte buffer up to its reserve.
  EXPECT_EQ(formatLine(storage_, 16, "#M", sampleRecord("0123456789abcd")), 15u);
  EXPECT_STREQ(storage_, "0123456789abcd\n");
  // A line feed at the cut is the line's end; none is added.
  EXPECT_EQ(formatLine(storage_, 16, "#M", sampleRecord("0123456789abc\nXYZ")), 14u);
  EXPECT_STREQ(storage_, "0123456789abc\n");
  EXPECT_TRUE(canaryIntact(16));
}

TEST_F(FormatLineLimits, ExpansionsAreCutToo) {
  EXPECT_EQ(formatLine(storage_, 12, "#D", sampleRecord()), 11u);
  EXPECT_STREQ(storage_, "2024-03-07\n");
  EXPECT_EQ(formatLine(storage_, 6, "#G#G", sampleRecord()), 5u);
  EXPECT_STREQ(storage_, "DBG;\n");
  EXPECT_TRUE(canaryIntact(12));
}

TEST_F(FormatLineLimits, TinyBuffers) {
  EXPECT_EQ(formatLine(storage_, 2, "#M", sampleRecord()), 1u);
  EXPECT_STREQ(storage_, "\n");
  EXPECT_TRUE(canaryIntact(2));
  SetUp();
  EXPECT_EQ(formatLine(storage_, 1, "#M", sampleRecord()), 0u);
  EXPECT_STREQ(storage_, "");
  EXPECT_TRUE(canaryIntact(1));
  SetUp();
  EXPECT_EQ(formatLine(storage_, 0, "#M", sampleRecord()), 0u);
  EXPECT_TRUE(canaryIntact(0));
  EXPECT_EQ(formatLine(nullptr, 16, "#M", sampleRecord()), 0u);
}

TEST(FormatLine, FullSizeLineOfALongMessage) {
  const std::string message(5000, 'm');
  char buffer[kLogBufferSize];
  EXPECT_EQ(formatLine(buffer, sizeof buffer, "#M", sampleRecord(message.c_str())), kLogBufferSize - 1);
  EXPECT_EQ(std::string(buffer), std::string(kLogBufferSize - 2, 'm') + "\n");
}

TEST(ProgramName, FilePartOfThePath) {
  EXPECT_STREQ(programNameFromPath("C:\\Windows\\System32\\rundll32.exe"), "rundll32.exe");
  EXPECT_STREQ(programNameFromPath("rundll32.exe"), "rundll32.exe");
  EXPECT_STREQ(programNameFromPath("C:\\Folder\\"), "");
  EXPECT_STREQ(programNameFromPath(nullptr), "");
}

TEST(ProgramName, NameOfThisTestProgram) {
#if defined(_WIN32)
  EXPECT_STREQ(programName(), "logging_tests.exe");
#else
  EXPECT_STREQ(programName(), "logging_tests");
#endif
}

}  // namespace
}  // namespace Quor
