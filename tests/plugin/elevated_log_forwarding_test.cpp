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
  // What the owner check answers (Wine keeps no owners).
  bool ownedByAdministrators = true;
};

TEST(ElevatedLogForwarding, ForwardsWhatThisLaunchWroteAndWarnsOtherwise) {
  const std::string warn = "qel-beta-opt-in: No log from the elevated pass in ";
  const std::vector<ForwardingCase> cases = {
      // The launch's own two records, then the same again from the file,
      // which replaced the old one.
      {"written by the launch", "2026-01-01T00:00:00.000|   OKAY| old\n", false, true,
       {{LogLevel::Okay, LogCategory::Gen, "qel-beta-opt-in: Migrating shortcut: C:\\T\\Tessaryn.exe C:\\T\n"},
        {LogLevel::Error, LogCategory::Dbg, "qel-beta-opt-in: Failed to write link a.lnk : Save failed"},
        {LogLevel::Okay, LogCategory::Gen, "[elevated] qel-beta-opt-in: Migrating shortcut: C:\\T\\Tessaryn.exe C:\\T"},
        {LogLevel::Error, LogCategory::Gen, "[elevated] qel-beta-opt-in: Failed to write link a.lnk : Save failed"},
        {LogLevel::Okay, LogCategory::Gen, "[elevated] a line of another form"}}},
      {"missing", nullptr, false, false, {{LogLevel::Warn, LogCategory::Gen, "the file does not exist"}}},
      {"left by an earlier run", "2026-01-01T00:00:00.000|   OKAY| old\n", true, false,
       {{LogLevel::Warn, LogCategory::Gen, "the file is left from an earlier run"}}},
      // Planted by a program of the player's, dated after the launch.
      {"not the elevated pass's", "2099-01-01T00:00:00.000| ALWAYS| planted\n", false, false,
       {{LogLevel::Warn, LogCategory::Gen,
         "the file is not owned by the Administrators group, so the elevated pass did not write it"}},
       false},
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
        {
          const ElevatedLogFile file(path.c_str());
          log(LogLevel::Okay, LogCategory::Gen, "qel-beta-opt-in: Migrating shortcut: %s %s\n",
              "C:\\T\\Tessaryn.exe", "C:\\T");
          log(LogLevel::Error, LogCategory::Dbg, "qel-beta-opt-in: Failed to write link %s : %s", "a.lnk",
              "Save failed");
        }
        EXPECT_TRUE(QcpTest::writeFile(path, QcpTest::readFile(path) + "a line of another form\n"));
      }
      return makeError(0, "Player Declined Uac Prompt");
    };

    const QcpTest::CapturedLog captured;
    const Expected<void> outcome = launchForwardingElevatedLog(folder.path() + "\\", launch, {},
                                                               [&](void*) { return test.ownedByAdministrators; });
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

// Whatever has the log's name is replaced, never written through: a hard
// link to another file there (as a junction or symbolic link would lead
// elsewhere) leaves that file as it was.
TEST(ElevatedLogFile, ReplacesWhatHasItsNameAndNeverWritesThroughIt) {
  const QcpTest::ScratchFolder folder;
  ASSERT_TRUE(folder.created());
  const std::string path = folder.file(elevatedLogFileName);
  const std::string victim = folder.file("victim.txt");
  ASSERT_TRUE(QcpTest::writeFile(victim, "the player's file\n"));
  ASSERT_TRUE(CreateHardLinkA(path.c_str(), victim.c_str(), nullptr));
  {
    const QcpTest::CapturedLog captured;
    const ElevatedLogFile file(path.c_str());
    log(LogLevel::Okay, LogCategory::Gen, "qel-beta-opt-in: a line");
  }
  EXPECT_EQ(QcpTest::readFile(victim), "the player's file\n");
  EXPECT_NE(QcpTest::readFile(path).find("|   OKAY| qel-beta-opt-in: a line\n"), std::string::npos);
}

// A long file is cut at whole lines: at most 1000 of them and 64 KiB, then
// one line says so.
TEST(ElevatedLogForwarding, ForwardsAtMostAThousandLinesOr64KiB) {
  const struct {
    std::size_t lines;
    std::size_t lineBytes;  // "\n" included
    std::size_t forwarded;  // lines forwarded; fewer than `lines`: cut
  } cases[] = {{1000, 40, 1000}, {1001, 40, 1000}, {70, 1000, 65}};
  for (const auto& test : cases) {
    SCOPED_TRACE(test.lines);
    const QcpTest::ScratchFolder folder;
    ASSERT_TRUE(folder.created());
    const std::string path = folder.file(elevatedLogFileName);
    const std::string line = "x| OKAY| " + std::string(test.lineBytes - 10, 'y') + "\n";
    std::string text;
    for (std::size_t index = 0; index < test.lines; ++index) text += line;
    const QcpTest::CapturedLog captured;
    const Expected<void> outcome = launchForwardingElevatedLog(
        folder.path(),
        [&]() -> Expected<void> {
          EXPECT_TRUE(QcpTest::writeFile(path, text));
          return {};
        },
        {}, [](void*) { return true; });
    EXPECT_TRUE(outcome);
    const std::vector<CapturedRecord> records = captured.records();
    const bool cut = test.forwarded < test.lines;
    ASSERT_EQ(records.size(), test.forwarded + (cut ? 1 : 0));
    EXPECT_EQ(records[0].message, "[elevated] " + line.substr(9, line.size() - 10));
    if (cut) {
      EXPECT_EQ(records.back().message, "qel-beta-opt-in: Truncated the elevated pass's log " +
                                            QcpTest::withSlashes(path) + " after " + std::to_string(test.forwarded) +
                                            " lines: at most 1000 lines or 64 KiB are forwarded.");
    }
  }
}

}  // namespace
}  // namespace Quor
