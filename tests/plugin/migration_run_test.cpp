// Tests of migrateShortcuts (the run over the prefix's real shortcut
// folders, with a root that no shortcut there points into, so nothing of the
// shared prefix changes), its COM initialization on threads in either
// apartment, the shortcut folders it walks, and the elevated entry's exit
// codes.

#include "plugin/migration_run.h"

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "logging/make_error.h"
#include "plugin/migrate_entry_point.h"
#include "plugin/path_utilities.h"
#include "plugin/legacy_shortcut_rules.h"
#include "plugin/shell_link.h"
#include "plugin/shortcut_migration.h"
#include "plugin/shortcut_folders.h"
#include "shell_test_support.h"

namespace Quor {
namespace {

std::string environment(const char* name) {
  char value[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableA(name, value, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(value, length) : std::string();
}

// The client's pass walks all five; the elevated pass only the all-users ones.
TEST(ShortcutFolders, AreTheDesktopsStartMenuProgramsAndQuickLaunch) {
  const std::string publicFolder = environment("PUBLIC");
  const std::string allUsers = environment("ALLUSERSPROFILE");
  const std::string profile = environment("USERPROFILE");
  const std::string appData = environment("APPDATA");
  ASSERT_FALSE(publicFolder.empty() || allUsers.empty() || profile.empty() || appData.empty());

  const Expected<std::vector<std::string>> client = shortcutFolders(ShortcutPass::Client);
  ASSERT_TRUE(client) << client.error().message;
  EXPECT_EQ(*client, (std::vector<std::string>{
                         publicFolder + "\\Desktop",
                         profile + "\\Desktop",
                         allUsers + "\\Microsoft\\Windows\\Start Menu\\Programs",
                         appData + "\\Microsoft\\Windows\\Start Menu\\Programs",
                         appData + "\\Microsoft\\Internet Explorer\\Quick Launch",
                     }));
  const Expected<std::vector<std::string>> elevated = shortcutFolders(ShortcutPass::Elevated);
  ASSERT_TRUE(elevated) << elevated.error().message;
  EXPECT_EQ(*elevated, (std::vector<std::string>{publicFolder + "\\Desktop",
                                                 allUsers + "\\Microsoft\\Windows\\Start Menu\\Programs"}));
}

TEST(MigrationExitCode, IsFortyTwoTheErrorsCodeOrFortyOne) {
  EXPECT_EQ(migrationExitCode(Expected<void>()), 42u);
  EXPECT_EQ(migrationExitCode(Expected<void>(makeError(55, "Failed to delete %s", "x.lnk"))), 55u);
  EXPECT_EQ(migrationExitCode(Expected<void>(makeError(59, "SHGetFolderPath failed"))), 59u);
  EXPECT_EQ(migrationExitCode(Expected<void>(makeError(0, "Failed to remove one or more uninstaller files."))), 41u);
}

// Runs `body` on a thread of its own, so each case starts from a thread
// without COM.
template <class Body>
void onFreshThread(Body body) {
  std::thread thread(body);
  thread.join();
}

class MigrationRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.created());
    const Expected<std::string> root = canonicalLongPath(scratch_.path());
    ASSERT_TRUE(root) << root.error().message;
    root_ = *root;
  }

  QcpTest::ScratchFolder scratch_;
  std::string root_;
};

TEST_F(MigrationRunTest, AThreadWithoutComIsLeftWithoutCom) {
  onFreshThread([&] {
    const Expected<void> result = migrateShortcuts(root_, ShortcutPass::Client);
    EXPECT_TRUE(result) << result.error().message;
    // COM was uninitialized again: this is a first initialization.
    const HRESULT again = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_EQ(again, S_OK);
    if (SUCCEEDED(again)) CoUninitialize();
  });
}

TEST_F(MigrationRunTest, AThreadInTheSingleThreadedApartmentKeepsIt) {
  onFreshThread([&] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    const Expected<void> result = migrateShortcuts(root_, ShortcutPass::Client);
    EXPECT_TRUE(result) << result.error().message;
    // The run's own S_FALSE initialization was matched; the thread's stays.
    const HRESULT again = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_EQ(again, S_FALSE);
    if (SUCCEEDED(again)) CoUninitialize();
    CoUninitialize();
  });
}

TEST_F(MigrationRunTest, AThreadInTheMultithreadedApartmentKeepsIt) {
  onFreshThread([&] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    // The host's own object in the apartment, which must outlive the run.
    IUnknown* hostObject = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&hostObject)),
              S_OK);

    const Expected<void> result = migrateShortcuts(root_, ShortcutPass::Client);
    EXPECT_TRUE(result) << result.error().message;

    // Still in the multithreaded apartment: joining it again answers
    // S_FALSE, and the single-threaded one is refused.
    const HRESULT multithreaded = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(multithreaded, S_FALSE);
    if (SUCCEEDED(multithreaded)) CoUninitialize();
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
    // The apartment's objects still work.
    IUnknown* again = nullptr;
    EXPECT_EQ(hostObject->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&again)), S_OK);
    if (again != nullptr) again->Release();
    hostObject->Release();
    CoUninitialize();
  });
}

TEST_F(MigrationRunTest, ShortcutsAreMigratedInTheMultithreadedApartmentToo) {
  // What a run on such a host thread does with a legacy shortcut.
  onFreshThread([&] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    ASSERT_TRUE(QcpTest::writeFile(root_ + "\\Tessaryn.exe", "MZ"));
    ASSERT_TRUE(QcpTest::writeFile(root_ + "\\TessarynClient.exe", "MZ"));
    const std::string link = root_ + "\\Tessaryn.lnk";
    ASSERT_TRUE(writeShortcut(link, {root_ + "\\Tessaryn.exe", root_, root_ + "\\Tessaryn.exe"}));
    const Expected<void> result = migrateShortcutFolders(legacyShortcutRules(), {root_}, root_);
    EXPECT_TRUE(result) << result.error().message;
    const Expected<ShortcutInfo> read = readShortcut(link);
    ASSERT_TRUE(read) << read.error().message;
    const Expected<std::string> target = canonicalLongPath(read->target);
    ASSERT_TRUE(target) << target.error().message;
    EXPECT_EQ(*target, root_ + "\\TessarynClient.exe");
    CoUninitialize();
  });
}

TEST_F(MigrationRunTest, ComThatCannotBeInitializedEndsTheRunWithoutCode) {
  onFreshThread([&] {
    const Expected<void> result =
        migrateShortcuts(root_, ShortcutPass::Client, [] { return std::int32_t{E_OUTOFMEMORY}; });
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().code, 0);
    EXPECT_EQ(result.error().message, "COM could not be initialized for the shortcut migration (HRESULT 0x8007000E).");
    EXPECT_EQ(migrationExitCode(result), 41u);
  });
}

TEST_F(MigrationRunTest, AnEmptyRootFailsWithCode61) {
  onFreshThread([&] {
    const Expected<void> result = migrateShortcuts("", ShortcutPass::Elevated);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().code, 61);
    EXPECT_EQ(migrationExitCode(result), 61u);
  });
}

}  // namespace
}  // namespace Quor
