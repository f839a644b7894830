#include "plugin/shortcut_plan.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <utility>

#include "logging/make_error.h"
#include "platform/directory_walk.h"
#include "platform/file_stamp.h"
#include "plugin/ansi_path_form.h"
#include "plugin/migration_codes.h"
#include "plugin/path_utilities.h"
#include "plugin/shell_error_codes.h"

namespace Quor {

namespace {

// Depth first, with the flag every folder search of the walk is given.
constexpr std::uint32_t shortcutWalkFlags = searchDepthFirst | searchPassedOn;
// The folder and two levels below it: Quick Launch\User Pinned\TaskBar.
constexpr std::int32_t shortcutWalkDepth = 2;
// A bound on what a folder full of shortcuts to distinct targets can cost.
constexpr std::size_t maxKnownTargets = 512;

// Whether the last character is "\" or "/": fileNamePart then finds no name,
// and it never takes the second byte of a double-byte character for one.
bool endsWithSeparator(const std::string& path) {
  return !path.empty() && (path.back() == '\\' || path.back() == '/') && fileNamePart(path).empty();
}

constexpr char outsideTheRoot[] = "its target is outside the installation root";

// The target's text as the root is compared with it: canonicalized when it
// can be (a dead target need not exist for that), else as written with "\"
// separators.
std::string canonicalText(const std::string& target) {
  Expected<std::string> canonical = canonicalPath(target);
  if (canonical) return std::move(*canonical);
  std::string backslashed = target;
  for (char& c : backslashed) {
    if (c == '/') c = '\\';
  }
  return backslashed;
}

// `name` in the folder `folder`.
std::string inFolder(const std::string& folder, const std::string& name) {
  return endsWithSeparator(folder) ? folder + name : folder + "\\" + name;
}

}  // namespace

const char* shortcutActionName(ShortcutAction action) {
  switch (action) {
    case ShortcutAction::Rewrite:
      return "rewrite";
    case ShortcutAction::UnpinDelete:
      return "unpin-delete";
    case ShortcutAction::Keep:
      return "keep";
    case ShortcutAction::Skip:
      return "skip";
    case ShortcutAction::Fail:
      return "fail";
  }
  return "keep";
}

// A root given as "C:\Games\T\" keeps its separator through
// canonicalization, and joining the client's name to it would double it.
// An empty root canonicalizes to "\", as do "\" and "/" themselves: the root
// of whichever drive is current, against which the text comparison of
// isPathWithin means nothing (an unreadable target reads as "\" too).
Expected<std::string> canonicalMigrationRoot(std::string_view rootDir) {
  Expected<std::string> root = canonicalLongPath(rootDir);
  if (!root) return root;
  if (rootDir.empty() || *root == "\\") {
    return makeError(ShellErrorCode::canonicalize, "Failed to canonicalize %s", rootDir);
  }
  const bool driveRoot = root->size() == 3 && (*root)[1] == ':';
  if (!driveRoot && endsWithSeparator(*root)) root->pop_back();
  return root;
}

ShortcutDecider::ShortcutDecider(const LegacyShortcutRules& rules, std::string root,
                                 ShortcutAttributesQuery attributes)
    : rules_(rules),
      root_(std::move(root)),
      newTarget_(inFolder(root_, rules.newClientExecutableName)),
      attributes_(std::move(attributes)) {}

const Expected<std::string>& ShortcutDecider::canonicalTarget(const std::string& target) {
  const auto known = canonicalTargets_.find(target);
  if (known != canonicalTargets_.end()) return known->second;
  if (canonicalTargets_.size() >= maxKnownTargets) canonicalTargets_.clear();
  return canonicalTargets_.emplace(target, canonicalLongPath(target)).first->second;
}

PlannedShortcut ShortcutDecider::decide(const std::string& folder, const std::string& linkPath) {
  PlannedShortcut planned;
  planned.folder = folder;
  planned.file = linkPath;
  // Before the reading, so that a write after it shows in a later stamp.
  std::optional<FileStamp> stamp = readFileStamp(linkPath);
  Expected<ShortcutInfo> info = readShortcut(linkPath);
  if (!info) {
    planned.action = ShortcutAction::Skip;
    planned.reason = "cannot be read: " + info.error().message;
    return planned;
  }
  planned.current = std::move(*info);
  planned.stamp = stamp;
  return decideRead(std::move(planned));
}

PlannedShortcut ShortcutDecider::decideAgain(const PlannedShortcut& earlier) {
  PlannedShortcut planned;
  planned.folder = earlier.folder;
  planned.file = earlier.file;
  planned.current = earlier.current;
  planned.stamp = earlier.stamp;
  return decideRead(std::move(planned));
}

// `planned` holds the folder, the file and what was read from it.
PlannedShortcut ShortcutDecider::decideRead(PlannedShortcut planned) {
  const std::string& linkPath = planned.file;
  // None when the code page cannot hold the target: there is no path to ask about.
  const Expected<std::string>* const target =
      planned.current.targetIsExact ? &canonicalTarget(planned.current.target) : nullptr;
  if (target == nullptr || !*target) {
    // A dead shortcut (its target gone), or one whose target the code page
    // cannot hold, is the migration's only when its target's text lies in
    // the root: every other such shortcut of the machine is left alone
    // unlogged, its target named nowhere. The root has an exact form, so a
    // target without one lies outside it but for a folder of the root that
    // the code page cannot name; the text shown for it ("<U+FF27>") keeps
    // every separator and every character the root can hold.
    if (!isPathWithin(root_, canonicalText(planned.current.target))) {
      planned.reason = outsideTheRoot;
      return planned;
    }
    planned.action = ShortcutAction::Skip;
    planned.reason = target != nullptr ? "its target cannot be normalized: " + target->error().message
                                       : "its target has characters that the ANSI code page " +
                                             std::to_string(ansiCodePageNumber()) + " cannot hold";
    return planned;
  }
  planned.canonicalTarget = **target;
  if (!isPathWithin(root_, planned.canonicalTarget)) {
    planned.reason = outsideTheRoot;
  } else if (isObsoleteShortcutName(rules_, fileNamePart(linkPath))) {
    // Whatever the target's name: an alpha shortcut is never rewritten.
    planned.action = ShortcutAction::UnpinDelete;
  } else if (isLegacyExecutableName(rules_, fileNamePart(planned.canonicalTarget))) {
    planned.action = ShortcutAction::Rewrite;
    planned.replacement = ShortcutInfo{newTarget_, root_, newTarget_, {}};
  } else {
    planned.reason = "its target is not a legacy launcher";
  }
  failWhereAttributesForbid(planned);
  return planned;
}

// Windows deletes no read-only file, and saves over no read-only, hidden or
// system one (CREATE_ALWAYS is refused): such a shortcut would be unpinned and
// then stay, or be planned for a rewrite that cannot happen. It fails before
// anything is done to it.
void ShortcutDecider::failWhereAttributesForbid(PlannedShortcut& planned) const {
  if (planned.action != ShortcutAction::UnpinDelete && planned.action != ShortcutAction::Rewrite) return;
  // The stamp's attributes are the file's as its reading found them.
  const std::uint32_t attributes = attributes_    ? attributes_(planned.file)
                                   : planned.stamp ? planned.stamp->attributes
                                                   : fileAttributes(planned.file);
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  const bool deleting = planned.action == ShortcutAction::UnpinDelete;
  const std::uint32_t forbidding =
      attributes & (deleting ? FILE_ATTRIBUTE_READONLY
                             : FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  if (forbidding == 0) return;
  std::string names;
  for (const auto& [bit, name] : {std::pair{FILE_ATTRIBUTE_READONLY, "read-only"},
                                  std::pair{FILE_ATTRIBUTE_HIDDEN, "hidden"},
                                  std::pair{FILE_ATTRIBUTE_SYSTEM, "system"}}) {
    if ((forbidding & bit) == 0) continue;
    if (!names.empty()) names += " and ";
    names += name;
  }
  planned.action = ShortcutAction::Fail;
  planned.replacement = {};
  if (deleting) {
    planned.reason = "it is " + names + ", so it cannot be deleted";
    planned.failure = makeError(MigrationErrorCode::deleteShortcut, "Failed to delete %s", planned.file);
  } else {
    planned.reason = "it is " + names + ", so it cannot be saved over";
    planned.failure = makeError(ShellErrorCode::writeSave, "Save failed for %s", planned.file);
  }
}

Expected<ShortcutPlan> planShortcutFolders(const LegacyShortcutRules& rules, const std::vector<std::string>& folders,
                                           std::string_view rootDir, const StopRequested& stop,
                                           const ShortcutAttributesQuery& attributes) {
  Expected<std::string> root = canonicalMigrationRoot(rootDir);
  if (!root) return std::move(root).error();
  ShortcutPlan plan{std::string(rootDir), std::move(*root), {}, true};
  ShortcutDecider decider(rules, plan.root, attributes);
  for (const std::string& folder : folders) {
    const std::shared_ptr<DirectoryIterator> walk = openWalk(folder, "*.lnk", shortcutWalkFlags, shortcutWalkDepth);
    for (; walk->valid(); walk->advance()) {
      if (isStopRequested(stop)) {
        plan.complete = false;
        return plan;
      }
      plan.shortcuts.push_back(decider.decide(folder, walk->fullPath()));
    }
  }
  return plan;
}

}  // namespace Quor
