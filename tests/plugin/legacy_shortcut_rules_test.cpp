// Tests of the legacy shortcut rules: which shortcut names count as the old
// alpha client's, and which target names as legacy executables.

#include "plugin/legacy_shortcut_rules.h"

#include <gtest/gtest.h>

#include <regex>
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

// The alpha pattern was matched with std::regex (ECMAScript, icase, whole
// name) before; the matcher must decide every name as that did. Every byte
// value goes before, inside and after each part of a matching name and in
// place of one of its letters.
TEST(LegacyShortcutRules, ObsoleteShortcutNamesAreDecidedAsTheRegularExpressionDid) {
  const LegacyShortcutRules rules = legacyShortcutRules();
  const std::regex previous(".*Tessaryn client alpha.*\\.lnk", std::regex::ECMAScript | std::regex::icase);
  const std::string base = "Tessaryn client alpha.lnk";
  std::vector<std::string> names = {"", ".lnk", "Tessaryn client alpha", "tESSARYN cLIENT aLPHA.lNK",
                                    "Tessaryn client alpha.lnk.lnk", ".lnkTessaryn client alpha",
                                    "Tessaryn client alph.lnka", "Tessaryn client alpha.lnkTessaryn client alpha",
                                    "Tessaryn client alphaTessaryn client alpha.lnk", "Tessaryn client alpha..lnk"};
  for (int value = 0; value < 256; ++value) {
    const char byte = static_cast<char>(value);
    for (std::size_t position : {0u, 1u, 8u, 15u, 21u, 22u, 24u, 25u}) {
      std::string inserted = base;
      inserted.insert(position, 1, byte);
      names.push_back(inserted);
      if (position < base.size()) {
        std::string replaced = base;
        replaced[position] = byte;
        names.push_back(replaced);
      }
    }
  }
  for (const std::string& name : names) {
    EXPECT_EQ(isObsoleteShortcutName(rules, name), std::regex_match(name, previous)) << testing::PrintToString(name);
  }
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
