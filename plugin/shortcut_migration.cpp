#include "plugin/shortcut_migration.h"

#include <memory>
#include <optional>
#include <unordered_map>

#include "logging/log_record.h"
#include "logging/logger.h"
#include "logging/make_error.h"
#include "platform/directory_walk.h"
#include "plugin/path_utilities.h"
#include "plugin/shell_error_codes.h"
#include "plugin/shell_link.h"
#include "plugin/shortcut_deletion.h"
#include "plugin/shortcut_unpin.h"

namespace Quor {

namespace {

// Depth first, with the flag every folder search of the walk is given.
constexpr std::uint32_t shortcutWalkFlags = searchDepthFirst | searchPassedOn;
// The folder and two levels below it: Quick Launch\User Pinned\TaskBar.
constexpr std::int32_t shortcutWalkDepth = 2;

// Whether the last character is "\" or "/": fileNamePart then finds no name,
// and it never takes the second byte of a double-byte character for one.
bool endsWithSeparator(const std::string& path) {
  return !path.empty() && (path.back() == '\\' || path.back() == '/') && fileNamePart(path).empty();
}

// The canonical long form of the installation root, without a trailing
// separator (a root given as "C:\Games\T\" keeps one through
// canonicalization, and joining the client's name to it would double it),
// except for a drive's root ("C:\").
//
// An empty root canonicalizes to "\", as do "\" and "/" themselves: the root
// of whichever drive is current, against which the text comparison of
// isPathWithin means nothing (an unreadable target reads as "\" too), so
// such a root is refused.
Expected<std::string> installationRoot(std::string_view rootDir) {
  Expected<std::string> root = canonicalLongPath(rootDir);
  if (!root) return root;
  if (rootDir.empty() || *root == "\\") {
    return makeError(ShellErrorCode::canonicalize, "Failed to canonicalize %s", rootDir);
  }
  const bool driveRoot = root->size() == 3 && (*root)[1] == ':';
  if (!driveRoot && endsWithSeparator(*root)) root->pop_back();
  return root;
}

// `name` in the folder `folder`.
std::string inFolder(const std::string& folder, const std::string& name) {
  return endsWithSeparator(folder) ? folder + name : folder + "\\" + name;
}

// The canonical long paths of the targets met in one run. A player's
// shortcuts to the game mostly share a few targets, and each lookup asks the
// file system about every folder of the path. Only a deletion by the run can
// change what a lookup answers (a target that was itself a deleted shortcut),
// so every deletion empties the cache.
class TargetPaths {
 public:
  const Expected<std::string>& canonical(const std::string& target) {
    const auto known = known_.find(target);
    if (known != known_.end()) return known->second;
    // A bound on what a folder full of shortcuts to distinct targets can cost.
    if (known_.size() >= maxKnown) known_.clear();
    return known_.emplace(target, canonicalLongPath(target)).first->second;
  }

  void forget() { known_.clear(); }

 private:
  static constexpr std::size_t maxKnown = 512;
  std::unordered_map<std::string, Expected<std::string>> known_;
};

class ShortcutMigration {
 public:
  ShortcutMigration(const LegacyShortcutRules& rules, std::string_view rootDir, std::string root)
      : rules_(rules), rootDir_(rootDir), root_(std::move(root)),
        newTarget_(inFolder(root_, rules.newClientExecutableName)) {}

  // False when the walk ended because `stop` asked it to.
  bool migrateFolder(const std::string& folder, const StopRequested& stop) {
    const std::shared_ptr<DirectoryIterator> walk = openWalk(folder, "*.lnk", shortcutWalkFlags, shortcutWalkDepth);
    for (; walk->valid(); walk->advance()) {
      if (isStopRequested(stop)) {
        stopped_ = true;
        return false;
      }
      migrateShortcut(walk->fullPath());
    }
    return true;
  }

  Expected<void> result() && {
    if (firstError_) return std::move(*firstError_);
    if (stopped_) return makeError(0, migrationStoppedMessage);
    return {};
  }

 private:
  void migrateShortcut(const std::string& linkPath) {
    const Expected<ShortcutInfo> info = readShortcut(linkPath);
    if (!info) return;
    const Expected<std::string>& canonicalTarget = targetPaths_.canonical(info->target);
    if (!canonicalTarget) return;
    // A copy: a deletion empties the cache that holds the original.
    const std::string target = *canonicalTarget;
    if (!isPathWithin(root_, target)) return;

    if (isObsoleteShortcutName(rules_, fileNamePart(linkPath))) {
      removeShortcut(linkPath, target);
    } else if (isLegacyExecutableName(rules_, fileNamePart(target))) {
      rewriteShortcut(linkPath, target);
    }
  }

  void removeShortcut(const std::string& linkPath, const std::string& target) {
    log(LogLevel::Okay, LogCategory::Gen, "qel-beta-opt-in: Deleting shortcut: %s %s", target.c_str(),
        rootDir_.c_str());
    const Expected<void> unpinned = unpinShortcut(linkPath);
    if (!unpinned) {
      // A shortcut still pinned is not deleted: the pin would point nowhere.
      log(LogLevel::Error, LogCategory::Dbg, "qel-beta-opt-in: Failed to unpin link %s : %s", linkPath.c_str(),
          unpinned.error().message.c_str());
      record(unpinned.error());
      return;
    }
    const Expected<void> deleted = deleteShortcut(linkPath);
    targetPaths_.forget();
    if (!deleted) {
      log(LogLevel::Error, LogCategory::Dbg, "qel-beta-opt-in: Failed to delete link %s : %s", linkPath.c_str(),
          deleted.error().message.c_str());
      record(deleted.error());
    }
  }

  void rewriteShortcut(const std::string& linkPath, const std::string& target) {
    log(LogLevel::Okay, LogCategory::Gen, "qel-beta-opt-in: Migrating shortcut: %s %s\n", target.c_str(),
        rootDir_.c_str());
    const Expected<void> written = writeShortcut(linkPath, ShortcutInfo{newTarget_, root_, newTarget_});
    if (!written) {
      log(LogLevel::Error, LogCategory::Dbg, "qel-beta-opt-in: Failed to write link %s : %s", linkPath.c_str(),
          written.error().message.c_str());
      record(written.error());
    }
  }

  void record(const PluginError& error) {
    if (!firstError_) firstError_ = error;
  }

  const LegacyShortcutRules& rules_;
  const std::string rootDir_;
  const std::string root_;
  const std::string newTarget_;
  TargetPaths targetPaths_;
  std::optional<PluginError> firstError_;
  bool stopped_ = false;
};

}  // namespace

Expected<void> migrateShortcutFolders(const LegacyShortcutRules& rules, const std::vector<std::string>& folders,
                                      std::string_view rootDir, const StopRequested& stop) {
  Expected<std::string> root = installationRoot(rootDir);
  if (!root) return std::move(root).error();
  ShortcutMigration migration(rules, rootDir, std::move(*root));
  for (const std::string& folder : folders) {
    if (!migration.migrateFolder(folder, stop)) break;
  }
  return std::move(migration).result();
}

}  // namespace Quor
