#include "plugin/legacy_shortcut_rules.h"

#include <algorithm>

namespace Quor {

namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The names are plain ASCII, so a byte of a double-byte character can never
// make two texts equal that are not.
bool equalIgnoringAsciiCase(std::string_view first, std::string_view second) {
  return first.size() == second.size() &&
         std::equal(first.begin(), first.end(), second.begin(),
                    [](char a, char b) { return lowerAscii(a) == lowerAscii(b); });
}

}  // namespace

LegacyShortcutRules legacyShortcutRules() {
  return LegacyShortcutRules{
      {"Tessaryn.exe", "QelLauncher.exe", "QelPatcher.exe", "QelPatcherUx.exe", "QelClient.exe", "qel.launcher.exe",
       "qel.launcher.admin.exe", "zamp_user_kernel.exe"},
      "TessarynClient.exe",
      std::regex(".*Tessaryn client alpha.*\\.lnk", std::regex::ECMAScript | std::regex::icase),
  };
}

bool isObsoleteShortcutName(const LegacyShortcutRules& rules, std::string_view shortcutFileName) {
  return std::regex_match(shortcutFileName.begin(), shortcutFileName.end(), rules.obsoleteShortcutPattern);
}

bool isLegacyExecutableName(const LegacyShortcutRules& rules, std::string_view targetFileName) {
  return std::any_of(rules.legacyExecutableNames.begin(), rules.legacyExecutableNames.end(),
                     [&](const std::string& name) { return equalIgnoringAsciiCase(name, targetFileName); });
}

}  // namespace Quor
