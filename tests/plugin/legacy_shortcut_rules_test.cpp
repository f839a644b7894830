// Tests of the legacy shortcut rules: which shortcut names count as the old
// alpha client's, and which target names as legacy executables.

#include "plugin/legacy_shortcut_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace Quor {
namespace {

TEST(LegacyShortcutRules, NamesTheLegacyExecutablesAndTheNewClient) {
  const LegacyShortcutRules rules = legacyShortcutRules();
  EXPECT_EQ(rules.legacyExecutableNames,
            (std::vector<std::string>{"Tessaryn.exe", "QelLauncher.exe", "QelPatcher.exe", "QelPatcherUx.exe",
                                      "QelClient.exe", "qel.launcher.exe", "qel.launcher.admin.exe",
                                      "zamp_user_kernel.exe"}));
  EXPECT_EQ(rules.newClientExecutableName, "TessarynClient.exe");
}

TEST(LegacyShortcutRules, ObsoleteShortcutNamesMatchWholeAndIgnoreCase) {
  const LegacyShortcutRules rules = legacyShortcutRules();
  for (const char* name : {"Tessaryn client alpha.lnk", "Tessaryn client alpha (2).lnk", "TESSARYN CLIENT ALPHA.LNK",
                           "My Tessaryn Client Alpha build.lnk", "Tessaryn client alpha.exe.lnk"}) {
    EXPECT_TRUE(isObsoleteShortcutName(rules, name)) << name;
  }
  for (const char* name : {"Tessaryn.lnk", "Tessaryn client beta.lnk", "Tessaryn client alpha.lnk2",
                           "Tessaryn client alpha.url", "Tessaryn client alphalnk", "Tessaryn  client alpha.lnk",
                           "Tessaryn client\nalpha.lnk", ""}) {
    EXPECT_FALSE(isObsoleteShortcutName(rules, name)) << name;
  }
}

TEST(LegacyShortcutRules, ALongNameIsMatchedWithoutTrouble) {
  const LegacyShortcutRules rules = legacyShortcutRules();
  const std::string padding(120, 'x');
  EXPECT_TRUE(isObsoleteShortcutName(rules, padding + "Tessaryn client alpha" + padding + ".lnk"));
  EXPECT_FALSE(isObsoleteShortcutName(rules, padding + "Tessaryn client alph" + padding + ".lnk"));
}

TEST(LegacyShortcutRules, LegacyExecutableNamesCompareWholeWithCaseIgnored) {
  const LegacyShortcutRules rules = legacyShortcutRules();
  for (const std::string& name : rules.legacyExecutableNames) {
    EXPECT_TRUE(isLegacyExecutableName(rules, name)) << name;
  }
  for (const char* name : {"QELCLIENT.EXE", "tessaryn.exe", "QEL.LAUNCHER.ADMIN.EXE", "Zamp_User_Kernel.Exe"}) {
    EXPECT_TRUE(isLegacyExecutableName(rules, name)) << name;
  }
  for (const char* name : {"TessarynClient.exe", "Tessaryn.exe.bak", "xTessaryn.exe", "Tessaryn", "qel.launcher",
                           "Tessaryn.ex", ""}) {
    EXPECT_FALSE(isLegacyExecutableName(rules, name)) << name;
  }
}

}  // namespace
}  // namespace Quor
