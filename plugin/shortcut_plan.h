#pragma once
// Deciding what the shortcut migration does to each shortcut, without doing
// it: the migration carries a plan out (shortcut_migration.h) and the
// preview tool prints one, so both follow the same rules.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "logging/expected.h"
#include "platform/file_stamp.h"
#include "plugin/legacy_shortcut_rules.h"
#include "plugin/migration_stop.h"
#include "plugin/shell_link.h"

namespace Quor {

enum class ShortcutAction {
  Rewrite,      // a legacy launcher in the root: made to start the new client
  UnpinDelete,  // the alpha client's, pointing into the root: unpinned and deleted
  Keep,         // left alone: outside the root, or starts something else
  Skip,         // cannot be read, or its target in the root cannot be normalized or held
                //   by the code page
  Fail,         // to rewrite or delete, but its attributes forbid it: left as it is, a failure
};

// "rewrite", "unpin-delete", "keep", "skip", "fail".
const char* shortcutActionName(ShortcutAction action);

struct PlannedShortcut {
  // The shell folder walked, and the shortcut file found in it.
  std::string folder;
  std::string file;
  // As read from the file (empty when it cannot be read).
  ShortcutInfo current;
  // The file's stamp, taken just before `current` was read; none when either
  // could not be had.
  std::optional<FileStamp> stamp;
  // The target's canonical long path (empty when skipped).
  std::string canonicalTarget;
  ShortcutAction action = ShortcutAction::Keep;
  // Rewrite: what the shortcut becomes.
  ShortcutInfo replacement;
  // Keep, Skip and Fail: why.
  std::string reason;
  // Fail: the run's error for it (55 "Failed to delete %s" or 48 "Save
  // failed for %s", with the shortcut file).
  PluginError failure;
};

struct ShortcutPlan {
  // The root as given, and its canonical long form without a trailing
  // separator ("C:\" for a drive's root).
  std::string rootDir;
  std::string root;
  std::vector<PlannedShortcut> shortcuts;
  // False when `stop` ended the walk before the last folder.
  bool complete = true;
};

// The shortcut file's attributes (the file system's answer, fileAttributes;
// INVALID_FILE_ATTRIBUTES when they cannot be read). Tests put in their own:
// Wine, as root, writes through the attributes Windows honours.
using ShortcutAttributesQuery = std::function<std::uint32_t(const std::string& linkPath)>;

// The decision for one shortcut at the moment it is asked. The canonical
// paths of targets are kept between questions (a player's shortcuts share a
// few targets, and each lookup asks the file system about every folder of
// the path); only a deletion can change them, so whoever deletes a shortcut
// calls forgetTargets.
class ShortcutDecider {
 public:
  // `attributes` empty: the file system's own.
  ShortcutDecider(const LegacyShortcutRules& rules, std::string root, ShortcutAttributesQuery attributes = {});

  PlannedShortcut decide(const std::string& folder, const std::string& linkPath);
  // The decision for a shortcut file known to hold what `earlier` read from
  // it: only the questions about its target and its attributes are asked
  // again.
  PlannedShortcut decideAgain(const PlannedShortcut& earlier);
  void forgetTargets() { canonicalTargets_.clear(); }

 private:
  PlannedShortcut decideRead(PlannedShortcut planned);
  const Expected<std::string>& canonicalTarget(const std::string& target);
  void failWhereAttributesForbid(PlannedShortcut& planned) const;

  const LegacyShortcutRules& rules_;
  const std::string root_;
  const std::string newTarget_;
  const ShortcutAttributesQuery attributes_;
  std::unordered_map<std::string, Expected<std::string>> canonicalTargets_;
};

// The canonical long form of `rootDir` as the plan keeps it. Errors 61 or 62
// when it cannot be normalized; 61 "Failed to canonicalize %s" as well when it
// is empty or names no more than the current drive's root ("\"), which would
// otherwise take in paths that are no part of any installation.
Expected<std::string> canonicalMigrationRoot(std::string_view rootDir);

// Walks each folder, in order, for "*.lnk" entries in it and down to two
// folder levels below it (so Quick Launch's "User Pinned\TaskBar" is
// reached), depth first, and decides for each (see shortcut_migration.h for
// the rules). Reads only. Fails only when the root is refused. `stop` is
// asked before each shortcut; once it answers true the plan ends there,
// marked incomplete. `attributes` as for ShortcutDecider.
Expected<ShortcutPlan> planShortcutFolders(const LegacyShortcutRules& rules, const std::vector<std::string>& folders,
                                           std::string_view rootDir, const StopRequested& stop = {},
                                           const ShortcutAttributesQuery& attributes = {});

}  // namespace Quor
