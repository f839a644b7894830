// Tests of migrateShortcutFolders over shortcut folders in a scratch folder,
// with shortcuts written by the shell's own IShellLinkA, the test Start-menu
// pin server registered in the prefix, and the shell and the .lnk header
// reading the results back.

#include "plugin/shortcut_migration.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "../support/pin_server_registration.h"
#include "file_holder_process.h"
#include "logging/log_record.h"
#include "migration_test_support.h"
#include "plugin/ansi_path_form.h"
#include "plugin/legacy_shortcut_rules.h"
#include "plugin/path_utilities.h"
#include "plugin/shortcut_plan.h"
#include "shell_test_support.h"

namespace Quor {
namespace {

using QcpTest::LinkHeader;
using QcpTest::withSlashes;
using Testing::CapturedRecord;

class ShortcutMigrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(apartment_.result()));
    // unpinShortcut finds SHCreateItemFromParsingName in the loaded shell32.
    shell32_ = LoadLibraryA("shell32.dll");
    ASSERT_NE(shell32_, nullptr);
    ASSERT_TRUE(scratch_.created());
    const Expected<std::string> base = canonicalLongPath(scratch_.path());
    ASSERT_TRUE(base) << base.error().message;
    base_ = *base;

    root_ = base_ + "\\Games\\Tessaryn Game";
    ASSERT_TRUE(QcpTest::makeFolders(root_ + "\\Game"));
    ASSERT_TRUE(QcpTest::makeFolders(base_ + "\\Games\\Tessaryn Game2"));
    ASSERT_TRUE(QcpTest::makeFolders(base_ + "\\Other"));
    for (const std::string& name : legacyShortcutRules().legacyExecutableNames) {
      ASSERT_TRUE(QcpTest::writeFile(root_ + "\\" + name, "MZ"));
    }
    ASSERT_TRUE(QcpTest::writeFile(root_ + "\\TessarynClient.exe", "MZ"));
    ASSERT_TRUE(QcpTest::writeFile(root_ + "\\Game\\QELCLIENT.EXE", "MZ"));
    ASSERT_TRUE(QcpTest::writeFile(base_ + "\\Games\\Tessaryn Game2\\Tessaryn.exe", "MZ"));
    ASSERT_TRUE(QcpTest::writeFile(base_ + "\\Other\\Tessaryn.exe", "MZ"));
    newTarget_ = root_ + "\\TessarynClient.exe";

    for (const char* name : {"One", "Two", "Three"}) {
      folders_.push_back(base_ + "\\Shell\\" + name);
      ASSERT_TRUE(QcpTest::makeFolders(folders_.back()));
    }

    pins_ = base_ + "\\pins.log";
    QcpTest::setPinServerLog(pins_);
    QcpTest::setPinServerFailNames("");
    ASSERT_TRUE(QcpTest::registerPinServer(QCP_PIN_SERVER_DLL));
  }

  void TearDown() override {
    QcpTest::unregisterPinServer();
    SetEnvironmentVariableA("QCP_PIN_SERVER_LOG", nullptr);
    SetEnvironmentVariableA("QCP_PIN_SERVER_FAIL", nullptr);
    // Nothing may stay read-only for the scratch folder's clean-up.
    for (const auto& [relative, bytes] : QcpTest::snapshot(base_)) {
      SetFileAttributesA((base_ + "\\" + relative).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    if (shell32_ != nullptr) FreeLibrary(shell32_);
  }

  // A legacy shortcut at `relative` (below folder `folder`) to `target`, with
  // arguments, a description, an icon index and a hot key beside it.
  std::string plant(std::size_t folder, const std::string& relative, const std::string& target) {
    const std::string link = folders_[folder] + "\\" + relative;
    EXPECT_TRUE(QcpTest::makeFolders(QcpTest::folderOf(link)));
    EXPECT_EQ(QcpTest::writeLegacyShortcut(link, target, "--from-kxu --no-zamp", QcpTest::folderOf(target), target, 2,
                                           "Play Tessaryn"),
              S_OK)
        << link;
    return link;
  }

  Expected<void> migrate(const std::string& rootDir) {
    return migrateShortcutFolders(legacyShortcutRules(), folders_, rootDir);
  }
  Expected<void> migrate() { return migrate(root_); }

  // The shortcut reads back as a shortcut to the new client, and nothing else.
  void expectRewritten(const std::string& link) {
    const QcpTest::ShellView view = QcpTest::readWithShell(link);
    ASSERT_TRUE(SUCCEEDED(view.result)) << link;
    EXPECT_EQ(view.target, newTarget_) << link;
    EXPECT_EQ(view.workingDirectory, root_) << link;
    EXPECT_EQ(view.iconPath, newTarget_) << link;
    EXPECT_EQ(view.iconIndex, 0) << link;
    EXPECT_EQ(view.arguments, "") << link;
    EXPECT_EQ(view.description, "") << link;
    EXPECT_EQ(view.hotKey, 0) << link;
    const LinkHeader header = QcpTest::readLinkHeader(link);
    ASSERT_TRUE(header.valid) << link;
    EXPECT_EQ(header.linkFlags & LinkHeader::hasArguments, 0u) << link;
  }

  std::string deletingLine(const std::string& target, const std::string& rootDir) const {
    return "qel-beta-opt-in: Deleting shortcut: " + target + " " + rootDir;
  }
  std::string migratingLine(const std::string& target, const std::string& rootDir) const {
    return "qel-beta-opt-in: Migrating shortcut: " + target + " " + rootDir + "\n";
  }
  std::string rewroteLine(const std::string& link) const {
    return "qel-beta-opt-in: Rewrote shortcut " + withSlashes(link) + " to start " + newTarget_;
  }
  std::string deletedLine(const std::string& link) const {
    return "qel-beta-opt-in: Deleted shortcut " + withSlashes(link);
  }

  QcpTest::ComApartment apartment_;
  HMODULE shell32_ = nullptr;
  QcpTest::ScratchFolder scratch_;
  std::string base_;
  std::string root_;
  std::string newTarget_;
  std::vector<std::string> folders_;
  std::string pins_;
};

TEST_F(ShortcutMigrationTest, RewritesALegacyShortcutToTheNewClientInTheRoot) {
  const std::string link = plant(0, "Tessaryn.lnk", root_ + "\\Tessaryn.exe");
  const QcpTest::CapturedLog log;
  const Expected<void> result = migrate();
  ASSERT_TRUE(result) << result.error().message;

  expectRewritten(link);
  const std::vector<CapturedRecord> records = log.records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].message, migratingLine(root_ + "\\Tessaryn.exe", root_));
  EXPECT_EQ(records[1].message, rewroteLine(link));
  for (const CapturedRecord& record : records) {
    EXPECT_EQ(record.level, LogLevel::Okay);
    EXPECT_EQ(record.category, LogCategory::Gen);
  }
  EXPECT_TRUE(QcpTest::readLines(pins_).empty());
}

TEST_F(ShortcutMigrationTest, RootIsLoggedAsPassedAndWrittenInItsCanonicalLongForm) {
  const std::string link = plant(0, "Tessaryn.lnk", root_ + "\\Tessaryn.exe");
  char shortRoot[MAX_PATH] = {};
  ASSERT_GT(GetShortPathNameA(root_.c_str(), shortRoot, MAX_PATH), 0u);
  // "/" separators, a ".." step and 8.3 names: all the same folder.
  const std::string rootDir = withSlashes(shortRoot) + "/Game/../";
  const QcpTest::CapturedLog log;
  const Expected<void> result = migrate(rootDir);
  ASSERT_TRUE(result) << result.error().message;
  expectRewritten(link);
  EXPECT_EQ(log.messages(), (std::vector<std::string>{migratingLine(root_ + "\\Tessaryn.exe", rootDir), rewroteLine(link)}));
}

TEST_F(ShortcutMigrationTest, EveryLegacyExecutableIsRewritten) {
  std::vector<std::string> links;
  std::vector<std::string> expectedLines;
  for (const std::string& name : legacyShortcutRules().legacyExecutableNames) {
    links.push_back(plant(links.size() % folders_.size(), name + ".lnk", root_ + "\\" + name));
  }
  const Expected<void> result = migrate();
  ASSERT_TRUE(result) << result.error().message;
  for (const std::string& link : links) expectRewritten(link);
}

TEST_F(ShortcutMigrationTest, TargetNamesCompareWithoutCaseAndTheirFolderDoesNotMatter) {
  const std::string link = plant(1, "Games\\Play.lnk", root_ + "\\Game\\QELCLIENT.EXE");
  const QcpTest::CapturedLog log;
  ASSERT_TRUE(migrate());
  expectRewritten(link);
  EXPECT_EQ(log.messages(),
            (std::vector<std::string>{migratingLine(root_ + "\\Game\\QELCLIENT.EXE", root_), rewroteLine(link)}));
}

TEST_F(ShortcutMigrationTest, AlphaShortcutInTheRootIsUnpinnedAndDeletedNeverRewritten) {
  // Its target is a legacy executable: the deletion test comes first.
  const std::string alpha = plant(0, "Tessaryn client alpha (2).lnk", root_ + "\\Tessaryn.exe");
  const std::string client = plant(2, "Pinned\\TESSARYN CLIENT ALPHA.LNK", root_ + "\\TessarynClient.exe");
  const QcpTest::CapturedLog log;
  ASSERT_TRUE(migrate());

  EXPECT_FALSE(QcpTest::fileExists(alpha));
  EXPECT_FALSE(QcpTest::fileExists(client));
  EXPECT_EQ(QcpTest::readLines(pins_), (std::vector<std::string>{alpha, client}));
  EXPECT_EQ(log.messages(), (std::vector<std::string>{deletingLine(root_ + "\\Tessaryn.exe", root_), deletedLine(alpha),
                                                      deletingLine(newTarget_, root_), deletedLine(client)}));
}

TEST_F(ShortcutMigrationTest, ShortcutsThatMustStayAreLeftByteForByte) {
  plant(0, "Tessaryn client alpha.lnk", base_ + "\\Other\\Tessaryn.exe");    // alpha, outside the root
  plant(0, "Client.lnk", newTarget_);                                         // already the new client
  plant(1, "Look-alike.lnk", base_ + "\\Games\\Tessaryn Game2\\Tessaryn.exe");  // "<root>2"
  plant(1, "Elsewhere.lnk", base_ + "\\Other\\Tessaryn.exe");                 // legacy name outside
  ASSERT_TRUE(QcpTest::writeFile(root_ + "\\Gone.exe", "MZ"));
  plant(2, "Tessaryn client alpha gone.lnk", root_ + "\\Gone.exe");
  ASSERT_TRUE(DeleteFileA((root_ + "\\Gone.exe").c_str()));  // a target that no longer exists
  ASSERT_TRUE(QcpTest::writeFile(base_ + "\\Other\\Payroll.xlsx", "x"));
  plant(1, "Payroll.lnk", base_ + "\\Other\\Payroll.xlsx");
  ASSERT_TRUE(DeleteFileA((base_ + "\\Other\\Payroll.xlsx").c_str()));  // dead, outside: never logged
  ASSERT_TRUE(QcpTest::writeFile(root_ + "\\Tessaryn.exe.bak", "MZ"));
  plant(2, "Backup.lnk", root_ + "\\Tessaryn.exe.bak");
  ASSERT_TRUE(QcpTest::writeFile(folders_[2] + "\\Tessaryn client alpha garbage.lnk", std::string(300, '\x5A')));
  ASSERT_TRUE(QcpTest::writeFile(folders_[2] + "\\Empty.lnk", ""));
  ASSERT_TRUE(QcpTest::makeFolders(folders_[0] + "\\A\\Tessaryn client alpha.lnk"));  // a folder, at depth 2

  const std::map<std::string, std::string> before = QcpTest::snapshot(base_ + "\\Shell");
  const QcpTest::CapturedLog log;
  const Expected<void> result = migrate();
  ASSERT_TRUE(result) << result.error().message;
  EXPECT_EQ(QcpTest::snapshot(base_ + "\\Shell"), before);
  // Only what could not be read is logged, with why; in the order listed.
  std::vector<std::string> messages = log.messages();
  std::sort(messages.begin(), messages.end());
  const std::string skipped = "qel-beta-opt-in: Skipped shortcut " + withSlashes(folders_[2]);
  EXPECT_EQ(messages, (std::vector<std::string>{
                          skipped + "/Empty.lnk: cannot be read: Load failed for " + withSlashes(folders_[2]) +
                              "/Empty.lnk",
                          skipped + "/Tessaryn client alpha garbage.lnk: cannot be read: Load failed for " +
                              withSlashes(folders_[2]) + "/Tessaryn client alpha garbage.lnk",
                          skipped + "/Tessaryn client alpha gone.lnk: its target cannot be normalized: "
                                    "Failed to get long path name for " + root_ + "\\Gone.exe"}));
  EXPECT_TRUE(QcpTest::readLines(pins_).empty());
}

// Beside the root's "Games" lies "Ｇａｍｅｓ", which best-fit mapping reads as
// "Games": its shortcuts are not the installation's, however they name their
// target. (Wine's own writer would store these targets best fit, so the
// shortcuts name them by a relative path, link_file_bytes.h.)
TEST_F(ShortcutMigrationTest, TargetsTheCodePageCannotHoldAreNeverTakenForTheRoot) {
  const std::wstring fullWidth = L"\uFF27\uFF41\uFF4D\uFF45\uFF53";
  const std::wstring twin = QcpTest::widened(base_) + L"\\" + fullWidth;
  ASSERT_TRUE(CreateDirectoryW(twin.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((twin + L"\\Tessaryn Game").c_str(), nullptr));
  ASSERT_TRUE(QcpTest::createEmptyFile(twin + L"\\Tessaryn Game\\Tessaryn.exe"));
  const std::wstring inRoot = QcpTest::widened(root_) + L"\\" + fullWidth;
  ASSERT_TRUE(CreateDirectoryW(inRoot.c_str(), nullptr));
  ASSERT_TRUE(QcpTest::createEmptyFile(inRoot + L"\\QelLauncher.exe"));
  wchar_t shortTwin[MAX_PATH] = {};
  ASSERT_GT(GetShortPathNameW((twin + L"\\Tessaryn Game\\Tessaryn.exe").c_str(), shortTwin, MAX_PATH), 0u);
  const std::optional<std::string> shortTarget = exactAnsiForm(shortTwin);
  ASSERT_TRUE(shortTarget) << "no 8.3 form in the code page";

  const auto craft = [&](std::size_t folder, const std::string& name, const QcpTest::LinkFileTexts& texts) {
    const std::string link = folders_[folder] + "\\" + name;
    EXPECT_TRUE(QcpTest::writeFile(link, QcpTest::linkFileBytes(texts))) << link;
    return link;
  };
  const std::wstring twinLauncher = L"..\\..\\" + fullWidth + L"\\Tessaryn Game\\Tessaryn.exe";
  craft(0, "Tessaryn.lnk", {twinLauncher});
  craft(0, "Tessaryn client alpha.lnk", {twinLauncher});
  plant(1, "Short.lnk", *shortTarget);  // expands to the twin, not to the root
  const std::string inside =
      craft(1, "Inside.lnk", {L"..\\..\\Games\\Tessaryn Game\\" + fullWidth + L"\\QelLauncher.exe"});
  // The root's own, its working directory and icon in the twin: never written back.
  const std::string legacy = craft(2, "Legacy.lnk", {L"..\\..\\Games\\Tessaryn Game\\Tessaryn.exe", twin,
                                                     L"--from-kxu", twin + L"\\Tessaryn Game\\Tessaryn.exe"});
  const std::map<std::string, std::string> before = QcpTest::snapshot(base_ + "\\Shell");

  const Expected<ShortcutPlan> plan = planShortcutFolders(legacyShortcutRules(), folders_, root_);
  ASSERT_TRUE(plan) << plan.error().message;
  std::map<std::string, std::string> actions;
  for (const PlannedShortcut& planned : plan->shortcuts) {
    actions[fileNamePart(planned.file)] = shortcutActionName(planned.action) + (" " + planned.reason);
  }
  const std::string outside = " its target is outside the installation root";
  const std::string lacking =
      "its target has characters that the ANSI code page " + std::to_string(ansiCodePageNumber()) + " cannot hold";
  EXPECT_EQ(actions, (std::map<std::string, std::string>{{"Inside.lnk", "skip " + lacking},
                                                         {"Legacy.lnk", "rewrite "},
                                                         {"Short.lnk", "keep" + outside},
                                                         {"Tessaryn client alpha.lnk", "keep" + outside},
                                                         {"Tessaryn.lnk", "keep" + outside}}));

  const QcpTest::CapturedLog log;
  ASSERT_TRUE(migrate());
  expectRewritten(legacy);
  std::map<std::string, std::string> after = QcpTest::snapshot(base_ + "\\Shell");
  after["Three\\Legacy.lnk"] = before.at("Three\\Legacy.lnk");
  EXPECT_EQ(after, before);
  EXPECT_TRUE(QcpTest::readLines(pins_).empty());
  EXPECT_EQ(log.messages(), (std::vector<std::string>{
                                "qel-beta-opt-in: Skipped shortcut " + withSlashes(inside) + ": " + lacking,
                                migratingLine(root_ + "\\Tessaryn.exe", root_), rewroteLine(legacy)}));
}

TEST_F(ShortcutMigrationTest, ShortcutsAreFoundTwoLevelsDownButNotThree) {
  const std::string top = plant(0, "Tessaryn.lnk", root_ + "\\Tessaryn.exe");
  const std::string one = plant(0, "A\\QelLauncher.lnk", root_ + "\\QelLauncher.exe");
  const std::string two = plant(2, "User Pinned\\TaskBar\\QelPatcher.lnk", root_ + "\\QelPatcher.exe");
  const std::string alphaTwo = plant(2, "User Pinned\\StartMenu\\Tessaryn client alpha.lnk", root_ + "\\Tessaryn.exe");
  plant(2, "User Pinned\\TaskBar\\Deeper\\QelClient.lnk", root_ + "\\QelClient.exe");
  plant(2, "User Pinned\\TaskBar\\Deeper\\Tessaryn client alpha.lnk", root_ + "\\Tessaryn.exe");
  const std::map<std::string, std::string> deeper = QcpTest::snapshot(folders_[2] + "\\User Pinned\\TaskBar\\Deeper");
  ASSERT_EQ(deeper.size(), 2u);

  ASSERT_TRUE(migrate());
  expectRewritten(top);
  expectRewritten(one);
  expectRewritten(two);
  EXPECT_FALSE(QcpTest::fileExists(alphaTwo));
  EXPECT_EQ(QcpTest::readLines(pins_), std::vector<std::string>{alphaTwo});
  EXPECT_EQ(QcpTest::snapshot(folders_[2] + "\\User Pinned\\TaskBar\\Deeper"), deeper);
}

TEST_F(ShortcutMigrationTest, ATargetThatTheRunDeletedIsMissingForLaterShortcuts) {
  // The second folder lies inside the root; its alpha shortcut is the target
  // of a shortcut in the first folder and of an alpha shortcut in the third.
  folders_[1] = root_ + "\\Links";
  ASSERT_TRUE(QcpTest::makeFolders(folders_[1]));
  const std::string alpha = plant(1, "Tessaryn client alpha.lnk", root_ + "\\Tessaryn.exe");
  const std::string before = plant(0, "Link to the alpha link.lnk", alpha);
  const std::string after = plant(2, "Tessaryn client alpha (link).lnk", alpha);
  const std::string afterBytes = QcpTest::readFile(after);

  ASSERT_TRUE(migrate());
  EXPECT_FALSE(QcpTest::fileExists(alpha));
  EXPECT_TRUE(QcpTest::fileExists(before));
  EXPECT_EQ(QcpTest::readFile(after), afterBytes);
  EXPECT_EQ(QcpTest::readLines(pins_), std::vector<std::string>{alpha});
}

// The plan is carried out later: a shortcut rewritten or made read-only in
// between is judged as it is when its turn comes.
TEST_F(ShortcutMigrationTest, ShortcutsChangedAfterThePlanAreJudgedAsTheyAreNow) {
  const std::string redirected = plant(0, "Tessaryn.lnk", root_ + "\\Tessaryn.exe");
  const std::string alpha = plant(1, "Tessaryn client alpha.lnk", root_ + "\\Tessaryn.exe");
  const std::string untouched = plant(2, "QelLauncher.lnk", root_ + "\\QelLauncher.exe");
  const Expected<ShortcutPlan> plan = planShortcutFolders(legacyShortcutRules(), folders_, root_);
  ASSERT_TRUE(plan) << plan.error().message;

  plant(0, "Tessaryn.lnk", base_ + "\\Other\\Tessaryn.exe");
  const std::string redirectedBytes = QcpTest::readFile(redirected);
  ASSERT_TRUE(SetFileAttributesA(alpha.c_str(), FILE_ATTRIBUTE_READONLY));
  const Expected<void> result = carryOutShortcutPlan(legacyShortcutRules(), *plan);

  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().message, "Failed to delete " + withSlashes(alpha));
  EXPECT_EQ(QcpTest::readFile(redirected), redirectedBytes);
  EXPECT_TRUE(QcpTest::fileExists(alpha));
  EXPECT_TRUE(QcpTest::readLines(pins_).empty());
  expectRewritten(untouched);
}

TEST_F(ShortcutMigrationTest, MissingFoldersYieldNothing) {
  const std::string link = plant(2, "Tessaryn.lnk", root_ + "\\Tessaryn.exe");
  folders_.insert(folders_.begin(), base_ + "\\Shell\\Missing");
  folders_.insert(folders_.begin(), "");
  ASSERT_TRUE(migrate());
  expectRewritten(link);
}

TEST_F(ShortcutMigrationTest, FailedUnpinKeepsTheFileAndIsTheResultThoughLaterRewritesSucceed) {
  const std::string alpha = plant(0, "Tessaryn client alpha.lnk", root_ + "\\Tessaryn.exe");
  const std::string legacy = plant(1, "Tessaryn.lnk", root_ + "\\Tessaryn.exe");
  QcpTest::setPinServerFailNames("Tessaryn client alpha.lnk");
  const QcpTest::CapturedLog log;
  const Expected<void> result = migrate();

  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().code, 58);
  EXPECT_EQ(result.error().message, "RemoveFromList failed");
  EXPECT_TRUE(QcpTest::fileExists(alpha));
  expectRewritten(legacy);
  const std::string walked = withSlashes(alpha);
  const std::vector<CapturedRecord> records = log.records();
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].message, deletingLine(root_ + "\\Tessaryn.exe", root_));
  EXPECT_EQ(records[1].message, "qel-beta-opt-in: Failed to unpin link " + walked + " : RemoveFromList failed");
  EXPECT_EQ(records[1].level, LogLevel::Error);
  EXPECT_EQ(records[1].category, LogCategory::Dbg);
  EXPECT_EQ(records[2].message, migratingLine(root_ + "\\Tessaryn.exe", root_));
  EXPECT_EQ(records[3].message, rewroteLine(legacy));
}

TEST_F(ShortcutMigrationTest, DeleteFailureBeforeAWriteFailureDecidesTheResult) {
  const std::string readOnly = plant(0, "Tessaryn client alpha.lnk", root_ + "\\Tessaryn.exe");
  ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
  const std::string held = plant(1, "Tessaryn.lnk", root_ + "\\Tessaryn.exe");
  const std::string later = plant(2, "QelLauncher.lnk", root_ + "\\QelLauncher.exe");
  const std::string heldBytes = QcpTest::readFile(held);
  // Another program has the shortcut mapped into memory: it still reads, but
  // cannot be replaced.
  QcpTest::FileHolderProcess holder("rwd", {held}, QcpTest::FileHolderProcess::Mapping::Mapped);
  ASSERT_TRUE(holder.holding());

  const QcpTest::CapturedLog log;
  const Expected<void> result = migrate();
  holder.release();

  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().code, 55);
  EXPECT_EQ(result.error().message, "Failed to delete " + withSlashes(readOnly));
  EXPECT_TRUE(QcpTest::fileExists(readOnly));
  EXPECT_EQ(QcpTest::readFile(held), heldBytes);
  expectRewritten(later);
  // Read-only: failed before its unpin, so it is still pinned.
  EXPECT_TRUE(QcpTest::readLines(pins_).empty());

  const std::vector<CapturedRecord> records = log.records();
  ASSERT_EQ(records.size(), 6u);
  EXPECT_EQ(records[0].message, "qel-beta-opt-in: Left shortcut " + withSlashes(readOnly) +
                                    " unchanged: it is read-only, so it cannot be deleted");
  EXPECT_EQ(records[1].message, "qel-beta-opt-in: Failed to delete link " + withSlashes(readOnly) +
                                    " : Failed to delete " + withSlashes(readOnly));
  EXPECT_EQ(records[1].level, LogLevel::Error);
  EXPECT_EQ(records[1].category, LogCategory::Dbg);
  EXPECT_EQ(records[3].message, "qel-beta-opt-in: Failed to write link " + withSlashes(held) + " : Save failed for " +
                                    withSlashes(held));
  EXPECT_EQ(records[3].level, LogLevel::Error);
  EXPECT_EQ(records[3].category, LogCategory::Dbg);
  EXPECT_EQ(records[4].message, migratingLine(root_ + "\\QelLauncher.exe", root_));
  EXPECT_EQ(records[5].message, rewroteLine(later));
}

// Windows deletes no read-only file and saves over no read-only, hidden or
// system one; Wine as root does both, so the attributes come through the
// seam here. The plan says so, and the run touches nothing of such a file.
TEST_F(ShortcutMigrationTest, AttributesThatForbidTheActFailTheShortcutUntouched) {
  const struct {
    const char* name;
    const char* target;
    std::uint32_t attributes;
    ShortcutAction planned;
    std::string error;  // "55 <message>"; empty: done
    std::string why;
  } cases[] = {
      {"Tessaryn client alpha.lnk", "Tessaryn.exe", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN,
       ShortcutAction::Fail, "55 Failed to delete ", "it is read-only, so it cannot be deleted"},
      {"Tessaryn client alpha.lnk", "Tessaryn.exe", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
       ShortcutAction::UnpinDelete, "", ""},
      {"Tessaryn.lnk", "QelClient.exe", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, ShortcutAction::Fail,
       "48 Save failed for ", "it is hidden and system, so it cannot be saved over"},
      {"Tessaryn.lnk", "QelClient.exe", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, ShortcutAction::Fail,
       "48 Save failed for ", "it is read-only, so it cannot be saved over"},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.why);
    const std::string link = plant(0, testCase.name, root_ + "\\" + testCase.target);
    const std::string bytes = QcpTest::readFile(link);
    const ShortcutAttributesQuery attributes = [&](const std::string& path) {
      return path == withSlashes(link) ? testCase.attributes : GetFileAttributesA(path.c_str());
    };
    const Expected<ShortcutPlan> plan = planShortcutFolders(legacyShortcutRules(), folders_, root_, {}, attributes);
    ASSERT_TRUE(plan && plan->shortcuts.size() == 1u);
    EXPECT_EQ(plan->shortcuts[0].action, testCase.planned);
    EXPECT_EQ(plan->shortcuts[0].reason, testCase.why);

    const QcpTest::CapturedLog log;
    const Expected<void> result = migrateShortcutFolders(legacyShortcutRules(), folders_, root_, {}, attributes);
    if (testCase.error.empty()) {
      EXPECT_TRUE(result);
      EXPECT_FALSE(QcpTest::fileExists(link));
      EXPECT_EQ(QcpTest::readLines(pins_), std::vector<std::string>{link});
      DeleteFileA(pins_.c_str());
      continue;
    }
    ASSERT_FALSE(result);
    EXPECT_EQ(std::to_string(result.error().code) + " " + result.error().message, testCase.error + withSlashes(link));
    EXPECT_EQ(QcpTest::readFile(link), bytes);
    EXPECT_TRUE(QcpTest::readLines(pins_).empty());
    const std::vector<std::string> messages = log.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "qel-beta-opt-in: Left shortcut " + withSlashes(link) + " unchanged: " + testCase.why);
    EXPECT_NE(messages[1].find(result.error().message), std::string::npos) << messages[1];
    ASSERT_TRUE(DeleteFileA(link.c_str()));
  }
}

TEST_F(ShortcutMigrationTest, WriteFailureAloneIsCode48) {
  const std::string held = plant(1, "Tessaryn.lnk", root_ + "\\Tessaryn.exe");
  const std::string heldBytes = QcpTest::readFile(held);
  QcpTest::FileHolderProcess holder("rwd", {held}, QcpTest::FileHolderProcess::Mapping::Mapped);
  ASSERT_TRUE(holder.holding());
  const QcpTest::CapturedLog log;
  const Expected<void> result = migrate();
  holder.release();
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().code, 48);
  EXPECT_EQ(result.error().message, "Save failed for " + withSlashes(held));
  EXPECT_EQ(QcpTest::readFile(held), heldBytes);
}

TEST_F(ShortcutMigrationTest, RootsThatNameNoInstallationAreRefusedBeforeAnythingIsTouched) {
  // A shortcut without a target reads as the target "\", which an empty root
  // (canonicalized to "\") would take for its own.
  ASSERT_EQ(QcpTest::writeTargetlessShortcut(folders_[0] + "\\Tessaryn client alpha.lnk"), S_OK);
  plant(1, "Tessaryn client alpha.lnk", root_ + "\\Tessaryn.exe");
  plant(1, "Tessaryn.lnk", root_ + "\\Tessaryn.exe");
  const std::map<std::string, std::string> before = QcpTest::snapshot(base_ + "\\Shell");

  for (const std::string rootDir : {"", "\\", "/"}) {
    const Expected<void> result = migrate(rootDir);
    EXPECT_FALSE(result) << "root '" << rootDir << "'";
    if (!result) {
      EXPECT_EQ(result.error().code, 61);
      EXPECT_EQ(result.error().message, "Failed to canonicalize " + rootDir);
    }
  }
  const Expected<void> missing = migrate(base_ + "\\Games\\Missing");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().code, 62);
  EXPECT_EQ(missing.error().message, "Failed to get long path name for " + base_ + "\\Games\\Missing");

  EXPECT_EQ(QcpTest::snapshot(base_ + "\\Shell"), before);
  EXPECT_TRUE(QcpTest::readLines(pins_).empty());
}

}  // namespace
}  // namespace Quor
