// The elevated pass's log file: written by ElevatedLogFile, read back and
// forwarded after the launch, and one WARN line when there is nothing to read.

#include "plugin/elevated_log_forwarding.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logging/log_record.h"
#include "logging/logger.h"
#include "logging/make_error.h"
#include "migration_test_support.h"
#include "plugin/elevated_log_file.h"
#include "shell_test_support.h"

namespace Quor {
namespace {

using Testing::CapturedRecord;

// Sets the file's last write time an hour back.
bool makeAnHourOld(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                  nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER ticks{{now.dwLowDateTime, now.dwHighDateTime}};
  ticks.QuadPart -= 3600ull * 10'000'000ull;
  const FILETIME old{ticks.LowPart, ticks.HighPart};
  const bool set = SetFileTime(file, nullptr, nullptr, &old) != 0;
  CloseHandle(file);
  return set;
}

struct ForwardingCase {
  const char* name;
  // What the folder holds before the launch, and what the launch writes.
  const char* before;
  bool staleBefore;
  bool launchLogs;
  std::vector<CapturedRecord> expected;  // {level, category, message}
};

TEST(ElevatedLogForwarding, ForwardsWhatThisLaunchWroteAndWarnsOtherwise) {
  const std::string warn = "qel-beta-opt-in: No log from the elevated pass in ";
  const std::vector<ForwardingCase> cases = {
      // The launch's own two records, then the same again from the file.
      {"written by the launch", nullptr, false, true,
       {{LogLevel::Okay, LogCategory::Gen, "qel-beta-opt-in: Migrating shortcut: C:\\T\\Tessaryn.exe C:\\T\n"},
        {LogLevel::Error, LogCategory::Dbg, "qel-beta-opt-in: Failed to write link a.lnk : Save failed"},
        {LogLevel::Okay, LogCategory::Gen, "[elevated] qel-beta-opt-in: Migrating shortcut: C:\\T\\Tessaryn.exe C:\\T"},
        {LogLevel::Error, LogCategory::Gen, "[elevated] qel-beta-opt-in: Failed to write link a.lnk : Save failed"},
        {LogLevel::Okay, LogCategory::Gen, "[elevated] a line of another form"}}},
      {"missing", nullptr, false, false, {{LogLevel::Warn, LogCategory::Gen, "the file does not exist"}}},
      {"left by an earlier run", "2026-01-01T00:00:00.000|   OKAY| old\n", true, false,
       {{LogLevel::Warn, LogCategory::Gen, "the file is left from an earlier run"}}},
  };
  for (const ForwardingCase& test : cases) {
    SCOPED_TRACE(test.name);
    const QcpTest::ScratchFolder folder;
    ASSERT_TRUE(folder.created());
    const std::string path = folder.file(elevatedLogFileName);
    if (test.before != nullptr) {
      ASSERT_TRUE(QcpTest::writeFile(path, test.before));
    }
    if (test.staleBefore) {
      ASSERT_TRUE(makeAnHourOld(path));
    }
    const auto launch = [&]() -> Expected<void> {
      if (test.launchLogs) {
        const ElevatedLogFile file(path.c_str());
        log(LogLevel::Okay, LogCategory::Gen, "qel-beta-opt-in: Migrating shortcut: %s %s\n", "C:\\T\\Tessaryn.exe",
            "C:\\T");
        log(LogLevel::Error, LogCategory::Dbg, "qel-beta-opt-in: Failed to write link %s : %s", "a.lnk",
            "Save failed");
        EXPECT_TRUE(QcpTest::writeFile(path, QcpTest::readFile(path) + "a line of another form\n"));
      }
      return makeError(0, "Player Declined Uac Prompt");
    };

    const QcpTest::CapturedLog captured;
    const Expected<void> outcome = launchForwardingElevatedLog(folder.path() + "\\", launch);
    ASSERT_FALSE(outcome);
    EXPECT_EQ(outcome.error().message, "Player Declined Uac Prompt");
    const std::vector<CapturedRecord> records = captured.records();
    ASSERT_EQ(records.size(), test.expected.size());
    for (std::size_t index = 0; index < records.size(); ++index) {
      EXPECT_EQ(records[index].level, test.expected[index].level) << index;
      EXPECT_EQ(records[index].category, test.expected[index].category) << index;
      if (records[index].level == LogLevel::Warn) {
        EXPECT_EQ(records[index].message, warn + QcpTest::withSlashes(path) + ": " + test.expected[index].message);
      } else {
        EXPECT_EQ(records[index].message, test.expected[index].message);
      }
    }
  }
}

}  // namespace
}  // namespace Quor
