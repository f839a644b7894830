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

std::string_view::size_type findIgnoringAsciiCase(std::string_view text, std::string_view part) {
  if (part.size() > text.size()) return std::string_view::npos;
  for (std::size_t start = 0; start + part.size() <= text.size(); ++start) {
    if (equalIgnoringAsciiCase(text.substr(start, part.size()), part)) return start;
  }
  return std::string_view::npos;
}

}  // namespace

bool matchesShortcutNamePattern(const ShortcutNamePattern& pattern, std::string_view name) {
  if (name.find_first_of("\r\n") != std::string_view::npos) return false;
  if (name.size() < pattern.suffix.size()) return false;
  const std::string_view head = name.substr(0, name.size() - pattern.suffix.size());
  return equalIgnoringAsciiCase(name.substr(head.size()), pattern.suffix) &&
         findIgnoringAsciiCase(head, pattern.containedText) != std::string_view::npos;
}

LegacyShortcutRules legacyShortcutRules() {
  return LegacyShortcutRules{
      {"Tessaryn.exe", "QelLauncher.exe", "QelPatcher.exe", "QelPatcherUx.exe", "QelClient.exe", "qel.launcher.exe",
       "qel.launcher.admin.exe", "zamp_user_kernel.exe"},
      "TessarynClient.exe",
      {"Tessaryn client alpha", ".lnk"},
  };
}

bool isObsoleteShortcutName(const LegacyShortcutRules& rules, std::string_view shortcutFileName) {
  return matchesShortcutNamePattern(rules.obsoleteShortcutPattern, shortcutFileName);
}

bool isLegacyExecutableName(const LegacyShortcutRules& rules, std::string_view targetFileName) {
  return std::any_of(rules.legacyExecutableNames.begin(), rules.legacyExecutableNames.end(),
                     [&](const std::string& name) { return equalIgnoringAsciiCase(name, targetFileName); });
}

}  // namespace Quor
