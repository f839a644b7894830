#pragma once
// Which shortcuts the migration rewrites and which it removes.

#include <regex>
#include <string>
#include <string_view>
#include <vector>

namespace Quor {

struct LegacyShortcutRules {
  // File names of the legacy launcher's executables; a shortcut that starts
  // one of them is rewritten.
  std::vector<std::string> legacyExecutableNames;
  // The executable in the installation root that rewritten shortcuts start.
  std::string newClientExecutableName;
  // Shortcut file names of the old alpha client (case ignored); such a
  // shortcut is unpinned and deleted.
  std::regex obsoleteShortcutPattern;
};

// The rules, with the pattern compiled; built once per migration run.
LegacyShortcutRules legacyShortcutRules();

// Whether the whole of `shortcutFileName` matches the obsolete-shortcut
// pattern.
bool isObsoleteShortcutName(const LegacyShortcutRules& rules, std::string_view shortcutFileName);

// Whether `targetFileName` is one of the legacy executable names, compared
// as whole texts with the case of ASCII letters ignored.
bool isLegacyExecutableName(const LegacyShortcutRules& rules, std::string_view targetFileName);

}  // namespace Quor
