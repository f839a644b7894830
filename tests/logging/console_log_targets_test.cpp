#include "logging/console_log_targets.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "capturing_log_target.h"
#include "logging/log_platform.h"
#include "logging/program_name.h"

namespace Quor {
namespace {

using ::testing::ElementsAre;
using Testing::IsolatedLoggerTest;

// A file in the test's temporary folder standing in for a console stream.
class StreamFile {
 public:
  explicit StreamFile(const char* name) : path_(::testing::TempDir() + name) {
    file_ = std::fopen(path_.c_str(), "w+b");
  }
  ~StreamFile() {
    if (file_ != nullptr) {
      std::fclose(file_);
    }
    std::remove(path_.c_str());
  }
  StreamFile(const StreamFile&) = delete;
  StreamFile& operator=(const StreamFile&) = delete;

  std::FILE* get() const { return file_; }
  // What reached the file itself (nothing still buffered counts).
  std::string contentOnDisk() const {
    std::FILE* reader = std::fopen(path_.c_str(), "rb");
    if (reader == nullptr) {
      return "<unreadable>";
    }
    std::string content;
    char chunk[512];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, reader)) > 0) {
      content.append(chunk, got);
    }
    std::fclose(reader);
    return content;
  }

 private:
  std::string path_;
  std::FILE* file_ = nullptr;
};

std::string threadText() {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(currentThreadId()));
  return text;
}

std::vector<std::string> gDebuggerLines;
void captureDebuggerLine(const char* line) {
  gDebuggerLines.emplace_back(line);
}

LogRecord record(std::int32_t level, const char* message) {
  LogRecord result;
  result.level = level;
  result.category = LogCategory::Dbg;
  result.message = message;
  return result;
}

TEST(ConsoleTargets, Names) {
  StdErrLogTarget err;
  StdOutLogTarget out;
  DebuggerConsoleLogTarget debugger;
  EXPECT_STREQ(err.name(), "StdErrLogTarget");
  EXPECT_STREQ(out.name(), "StdOutLogTarget");
  EXPECT_STREQ(debugger.name(), "DebuggerConsoleLogTarget");
  EXPECT_STREQ(err.BaseConsoleLogTarget::name(), "BaseConsoleLogTarget");
  EXPECT_STREQ(err.LogTarget::name(), "LogTarget");
}

TEST(ConsoleTargets, StandardErrorLine) {
  StreamFile stream("stderr_target.txt");
  ASSERT_NE(stream.get(), nullptr);
  StdErrLogTarget target(stream.get());
  // Even a buffered stream gets every line at once.
  ASSERT_EQ(std::setvbuf(stream.get(), nullptr, _IOFBF, 8192), 0);
  EXPECT_TRUE(target.write(record(LogLevel::Error, "disk full")));
  EXPECT_TRUE(target.write(record(LogLevel::Warn, "two lines\n")));
  EXPECT_EQ(stream.contentOnDisk(), std::string(programName()) + "(" + threadText() + "):  ERROR| disk full\n" +
                                        programName() + "(" + threadText() + "):   WARN| two lines\n");
}

TEST(ConsoleTargets, StandardOutputFlushesEachLineOnlyWhenAskedTo) {
  StreamFile stream("stdout_target.txt");
  ASSERT_NE(stream.get(), nullptr);
  StdOutLogTarget target(stream.get());
  // A full buffer keeps short writes in memory until flushed.
  ASSERT_EQ(std::setvbuf(stream.get(), nullptr, _IOFBF, 8192), 0);
  target.write(record(LogLevel::Warn, "kept"));
  EXPECT_EQ(stream.contentOnDisk(), "");
  target.setFlushAfterEachLine(true);
  EXPECT_TRUE(target.flushesAfterEachLine());
  target.write(record(LogLevel::Warn, "flushed"));
  EXPECT_EQ(stream.contentOnDisk(), "kept\nflushed\n");
}

TEST(ConsoleTargets, DebuggerLinesGoToTheDebuggerChannel) {
  gDebuggerLines.clear();
  DebuggerConsoleLogTarget target(captureDebuggerLine);
  EXPECT_TRUE(target.write(record(LogLevel::Error, "disk full")));
  target.flush();
  EXPECT_THAT(gDebuggerLines,
              ElementsAre(std::string(programName()) + "(" + threadText() + "):  ERROR| disk full\n"));
}

TEST(ConsoleTargets, LongMessagesMakeOneFullLine) {
  gDebuggerLines.clear();
  DebuggerConsoleLogTarget target(captureDebuggerLine);
  target.configure({LogLevel::Okay, 0, 0, "#M"});
  target.close();
  const std::string message(kLogBufferSize + 10, 'q');
  target.write(record(LogLevel::Error, message.c_str()));
  ASSERT_EQ(gDebuggerLines.size(), 1u);
  EXPECT_EQ(gDebuggerLines[0], std::string(kLogBufferSize - 2, 'q') + "\n");
}

// The default debugger target, copied with a visible channel and put where
// the logger's own one is.
class DebuggerTargetInLogger : public IsolatedLoggerTest {
 protected:
  void SetUp() override {
    IsolatedLoggerTest::SetUp();
    gDebuggerLines.clear();
    addTarget(&debugger_);
  }
  DebuggerConsoleLogTarget debugger_{captureDebuggerLine};
};

TEST_F(DebuggerTargetInLogger, TakesDebugErrorsOnly) {
  log(LogLevel::Okay, LogCategory::Dbg, "too low");
  log(LogLevel::Error, LogCategory::Gen, "general");
  log(LogLevel::Error, LogCategory::Dbg, "disk full");
  log(LogLevel::Warn, 0, "no category");
  EXPECT_THAT(gDebuggerLines, ElementsAre(std::string(programName()) + "(" + threadText() + "):  ERROR| disk full\n",
                                          std::string(programName()) + "(" + threadText() + "):   WARN| no category\n"));
}

}  // namespace
}  // namespace Quor
