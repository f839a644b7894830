#pragma once
// Which shortcuts the migration rewrites and which it removes.

#include <string>
#include <string_view>
#include <vector>

namespace Quor {

// The file-name pattern ".*<containedText>.*<suffix>" matched against a
// whole name with the case of ASCII letters ignored: the name holds
// containedText, ends in suffix after it, and has no line break (which the
// pattern's "." does not take).
struct ShortcutNamePattern {
  std::string containedText;
  std::string suffix;
};

bool matchesShortcutNamePattern(const ShortcutNamePattern& pattern, std::string_view name);

struct LegacyShortcutRules {
  // File names of the legacy launcher's executables; a shortcut that starts
  // one of them is rewritten.
  std::vector<std::string> legacyExecutableNames;
  // The executable in the installation root that rewritten shortcuts start.
  std::string newClientExecutableName;
  // Shortcut file names of the old alpha client (".*Tessaryn client
  // alpha.*\.lnk"); such a shortcut is unpinned and deleted.
  ShortcutNamePattern obsoleteShortcutPattern;
};

// The rules; built once per migration run.
LegacyShortcutRules legacyShortcutRules();

// Whether the whole of `shortcutFileName` matches the obsolete-shortcut
// pattern.
bool isObsoleteShortcutName(const LegacyShortcutRules& rules, std::string_view shortcutFileName);

// Whether `targetFileName` is one of the legacy executable names, compared
// as whole texts with the case of ASCII letters ignored.
bool isLegacyExecutableName(const LegacyShortcutRules& rules, std::string_view targetFileName);

}  // namespace Quor
