// Tests of unpinShortcut against the test Start-menu pin server
// (tests/support/pin_server.cpp), registered in the Wine prefix by each test
// that needs it. The suite holds the CTest resource lock of the registration
// (suite.cmake), so no other test changes it meanwhile.

#include "plugin/shortcut_unpin.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "../support/pin_server_registration.h"
#include "plugin/path_utilities.h"
#include "plugin/shell_error_codes.h"
#include "plugin/shell_link.h"
#include "shell_test_support.h"

namespace Quor {
namespace {

using QcpTest::ComApartment;
using QcpTest::ScratchFolder;

class UnpinShortcutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(apartment_.result()));
    // unpinShortcut looks SHCreateItemFromParsingName up in the loaded shell32
    // only; the migration's process always has it (the plugin imports it).
    shell32_ = LoadLibraryA("shell32.dll");
    ASSERT_NE(shell32_, nullptr);
    ASSERT_TRUE(scratch_.created());
    const Expected<std::string> root = canonicalLongPath(scratch_.path());
    ASSERT_TRUE(root) << root.error().message;
    root_ = *root;
    log_ = root_ + "\\pins.log";
    QcpTest::setPinServerLog(log_);
    QcpTest::setPinServerFailNames("");
    ASSERT_TRUE(QcpTest::writeFile(root_ + "\\Tessaryn.exe", "MZ"));
  }

  void TearDown() override {
    QcpTest::unregisterPinServer();
    SetEnvironmentVariableA("QCP_PIN_SERVER_LOG", nullptr);
    SetEnvironmentVariableA("QCP_PIN_SERVER_FAIL", nullptr);
    if (shell32_ != nullptr) FreeLibrary(shell32_);
  }

  // A shortcut to the root's Tessaryn.exe, named `name`.
  std::string plantShortcut(const std::string& name) {
    const std::string link = root_ + "\\" + name;
    const Expected<void> saved = writeShortcut(link, {root_ + "\\Tessaryn.exe", root_, root_ + "\\Tessaryn.exe"});
    EXPECT_TRUE(saved) << saved.error().message;
    return link;
  }

  ComApartment apartment_;
  HMODULE shell32_ = nullptr;
  ScratchFolder scratch_;
  std::string root_;
  std::string log_;
};

TEST_F(UnpinShortcutTest, RemovesTheCanonicalPathFromTheList) {
  ASSERT_TRUE(QcpTest::registerPinServer(QCP_PIN_SERVER_DLL));
  const std::string link = plantShortcut("Tessaryn client alpha.lnk");
  // Handed over with "/" separators and a ".." step, as the walk may.
  const Expected<void> result = unpinShortcut(joinPath(root_, "sub", "..", "Tessaryn client alpha.lnk"));
  ASSERT_TRUE(result) << result.error().message;
  EXPECT_EQ(QcpTest::readLines(log_), std::vector<std::string>{link});
  // Unpinning leaves the file alone; deleting it is the shortcut migration's step.
  EXPECT_TRUE(QcpTest::fileExists(link));
}

TEST_F(UnpinShortcutTest, RemoveFromListFailureIsCode58) {
  ASSERT_TRUE(QcpTest::registerPinServer(QCP_PIN_SERVER_DLL));
  QcpTest::setPinServerFailNames("other.lnk;TESSARYN CLIENT ALPHA (2).LNK");
  const std::string failing = plantShortcut("Tessaryn client alpha (2).lnk");
  const std::string passing = plantShortcut("Tessaryn client alpha.lnk");

  const Expected<void> failed = unpinShortcut(failing);
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().code, 58);
  EXPECT_EQ(failed.error().code, ShellErrorCode::unpinRemoveFromList);
  EXPECT_EQ(failed.error().message, "RemoveFromList failed");

  EXPECT_TRUE(unpinShortcut(passing));
  EXPECT_EQ(QcpTest::readLines(log_), (std::vector<std::string>{failing, passing}));
}

TEST_F(UnpinShortcutTest, ServerNotRegisteredIsCode57) {
  ASSERT_TRUE(QcpTest::unregisterPinServer());
  const std::string link = plantShortcut("Tessaryn client alpha.lnk");
  const Expected<void> result = unpinShortcut(link);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().code, 57);
  EXPECT_EQ(result.error().code, ShellErrorCode::unpinCreateInstance);
  EXPECT_EQ(result.error().message, "CoCreateInstance failed");
  EXPECT_TRUE(QcpTest::readLines(log_).empty());
}

TEST_F(UnpinShortcutTest, MissingShortcutIsCode62FromCanonicalLongPath) {
  ASSERT_TRUE(QcpTest::registerPinServer(QCP_PIN_SERVER_DLL));
  const Expected<void> result = unpinShortcut(root_ + "/Gone.lnk");
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().code, 62);
  EXPECT_EQ(result.error().message, "Failed to get long path name for " + root_ + "\\Gone.lnk");
  EXPECT_TRUE(QcpTest::readLines(log_).empty());
}

TEST_F(UnpinShortcutTest, OverlongPathIsCode61FromCanonicalLongPath) {
  ASSERT_TRUE(QcpTest::registerPinServer(QCP_PIN_SERVER_DLL));
  const Expected<void> result = unpinShortcut(root_ + "\\" + std::string(300, 'x') + ".lnk");
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().code, 61);
}

TEST_F(UnpinShortcutTest, ShortNameIsUnpinnedByItsLongPath) {
  ASSERT_TRUE(QcpTest::registerPinServer(QCP_PIN_SERVER_DLL));
  const std::string link = plantShortcut("Tessaryn client alpha (3).lnk");
  char shortPath[MAX_PATH] = {};
  ASSERT_GT(GetShortPathNameA(link.c_str(), shortPath, MAX_PATH), 0u);
  ASSERT_TRUE(unpinShortcut(shortPath));
  EXPECT_EQ(QcpTest::readLines(log_), std::vector<std::string>{link});
}

}  // namespace
}  // namespace Quor
