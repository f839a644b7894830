// Tests of cleanLegacyUninstallers over a scratch installation root.

#include "plugin/legacy_uninstaller_cleanup.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "file_holder_process.h"
#include "logging/log_record.h"
#include "migration_test_support.h"
#include "plugin/path_utilities.h"
#include "shell_test_support.h"

namespace Quor {
namespace {

using Testing::CapturedRecord;

class LegacyUninstallerCleanupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.created());
    const Expected<std::string> base = canonicalLongPath(scratch_.path());
    ASSERT_TRUE(base) << base.error().message;
    root_ = *base + "\\Tessaryn Game";
    ASSERT_TRUE(QcpTest::makeFolders(root_));
  }

  void TearDown() override {
    for (const auto& [relative, bytes] : QcpTest::snapshot(root_)) {
      SetFileAttributesA((root_ + "\\" + relative).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
  }

  std::string file(const std::string& name) {
    const std::string path = root_ + "\\" + name;
    EXPECT_TRUE(QcpTest::writeFile(path, "MZ")) << path;
    return path;
  }

  // The path under which the search hands a root entry out.
  std::string searched(const std::string& name) const {
    return QcpTest::withSlashes(root_) + "/" + name;
  }

  QcpTest::ScratchFolder scratch_;
  std::string root_;
};

TEST_F(LegacyUninstallerCleanupTest, RemovesEveryMatchInTheRootOnly) {
  const std::string exe = file("Uninstall Tessaryn client alpha.exe");
  const std::string data = file("Uninstall Tessaryn client alpha.dat");
  const std::string numbered = file("uninstall tessaryn client alpha 2.exe");
  const std::string readOnly = file("Uninstall Tessaryn client alpha (old).exe");
  ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
  file("Uninstall Tessaryn client beta.exe");
  file("Tessaryn.exe");
  ASSERT_TRUE(QcpTest::makeFolders(root_ + "\\Sub"));
  file("Sub\\Uninstall Tessaryn client alpha.exe");

  const QcpTest::CapturedLog log;
  const Expected<void> result = cleanLegacyUninstallers(root_);
  ASSERT_TRUE(result) << result.error().message;
  for (const std::string& removed : {exe, data, numbered, readOnly}) {
    EXPECT_FALSE(QcpTest::fileExists(removed)) << removed;
  }
  std::vector<std::string> left;
  for (const auto& [relative, bytes] : QcpTest::snapshot(root_)) left.push_back(relative);
  EXPECT_EQ(left, (std::vector<std::string>{"Sub\\Uninstall Tessaryn client alpha.exe", "Tessaryn.exe",
                                            "Uninstall Tessaryn client beta.exe"}));
  std::vector<std::string> messages = log.messages();
  std::sort(messages.begin(), messages.end());
  std::vector<std::string> expected;
  for (const char* name : {"Uninstall Tessaryn client alpha (old).exe", "Uninstall Tessaryn client alpha.dat",
                           "Uninstall Tessaryn client alpha.exe", "uninstall tessaryn client alpha 2.exe"}) {
    expected.push_back("qel-beta-opt-in: Removed uninstaller file " + searched(name));
  }
  EXPECT_EQ(messages, expected);
}

TEST_F(LegacyUninstallerCleanupTest, NothingToRemoveIsSuccess) {
  file("Tessaryn.exe");
  const QcpTest::CapturedLog log;
  EXPECT_TRUE(cleanLegacyUninstallers(root_));
  EXPECT_TRUE(QcpTest::fileExists(root_ + "\\Tessaryn.exe"));
  EXPECT_TRUE(log.messages().empty());
}

TEST_F(LegacyUninstallerCleanupTest, AMatchHeldOpenIsLoggedAndFailsTheStepWhileTheOthersGo) {
  const std::string first = file("Uninstall Tessaryn client alpha.exe");
  const std::string held = file("Uninstall Tessaryn client alpha.dat");
  const std::string last = file("Uninstall Tessaryn client alpha.log");
  // Another process has it open without delete sharing.
  QcpTest::FileHolderProcess holder("rw", {held});
  ASSERT_TRUE(holder.holding());

  const QcpTest::CapturedLog log;
  const Expected<void> result = cleanLegacyUninstallers(root_);
  holder.release();

  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().code, 0);
  EXPECT_EQ(result.error().message, "Failed to remove one or more uninstaller files.");
  EXPECT_TRUE(QcpTest::fileExists(held));
  EXPECT_FALSE(QcpTest::fileExists(first));
  EXPECT_FALSE(QcpTest::fileExists(last));
  // One line per file, in the order the folder lists them.
  std::vector<CapturedRecord> records = log.records();
  ASSERT_EQ(records.size(), 3u);
  std::sort(records.begin(), records.end(),
            [](const CapturedRecord& a, const CapturedRecord& b) { return a.message < b.message; });
  EXPECT_EQ(records[0].message, "Failed to remove: " + searched("Uninstall Tessaryn client alpha.dat"));
  EXPECT_EQ(records[0].level, LogLevel::Error);
  EXPECT_EQ(records[0].category, LogCategory::Dbg);
  EXPECT_EQ(records[1].message, "qel-beta-opt-in: Removed uninstaller file " + searched("Uninstall Tessaryn client alpha.exe"));
  EXPECT_EQ(records[2].message, "qel-beta-opt-in: Removed uninstaller file " + searched("Uninstall Tessaryn client alpha.log"));
  for (const std::size_t removed : {1u, 2u}) {
    EXPECT_EQ(records[removed].level, LogLevel::Okay);
    EXPECT_EQ(records[removed].category, LogCategory::Gen);
  }
}

TEST_F(LegacyUninstallerCleanupTest, AMatchingFolderCannotBeRemovedAndFailsTheStep) {
  ASSERT_TRUE(QcpTest::makeFolders(root_ + "\\Uninstall Tessaryn client alpha files"));
  const std::string exe = file("Uninstall Tessaryn client alpha.exe");
  const QcpTest::CapturedLog log;
  const Expected<void> result = cleanLegacyUninstallers(root_);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().message, "Failed to remove one or more uninstaller files.");
  EXPECT_FALSE(QcpTest::fileExists(exe));
  EXPECT_TRUE(QcpTest::fileExists(root_ + "\\Uninstall Tessaryn client alpha files"));
  std::vector<std::string> messages = log.messages();
  std::sort(messages.begin(), messages.end());
  EXPECT_EQ(messages,
            (std::vector<std::string>{"Failed to remove: " + searched("Uninstall Tessaryn client alpha files"),
                                      "qel-beta-opt-in: Removed uninstaller file " +
                                          searched("Uninstall Tessaryn client alpha.exe")}));
}

}  // namespace
}  // namespace Quor
