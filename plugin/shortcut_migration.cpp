#include "plugin/shortcut_migration.h"

#include <optional>

#include "logging/log_record.h"
#include "logging/logger.h"
#include "logging/make_error.h"
#include "platform/file_stamp.h"
#include "plugin/migration_codes.h"
#include "plugin/migration_log_texts.h"
#include "plugin/shell_link.h"
#include "plugin/shortcut_deletion.h"
#include "plugin/shortcut_unpin.h"

namespace Quor {

namespace {

class ShortcutMigration {
 public:
  ShortcutMigration(const LegacyShortcutRules& rules, const ShortcutPlan& plan,
                    const ShortcutAttributesQuery& attributes)
      : rootDir_(plan.rootDir), decider_(rules, plan.root, attributes) {}

  void carryOut(const PlannedShortcut& planned) {
    const PlannedShortcut now = decisionNow(planned);
    switch (now.action) {
      case ShortcutAction::UnpinDelete:
        removeShortcut(now);
        break;
      case ShortcutAction::Rewrite:
        rewriteShortcut(now);
        break;
      case ShortcutAction::Skip:
        log(LogLevel::Okay, LogCategory::Gen, MigrationLogText::shortcutSkipped, now.file.c_str(), now.reason.c_str());
        break;
      case ShortcutAction::Fail:
        refuseShortcut(now);
        break;
      case ShortcutAction::Keep:
        break;
    }
  }

  void stop() { stopped_ = true; }

  Expected<void> result() && {
    if (firstError_) return std::move(*firstError_);
    if (stopped_) return makeError(0, migrationStoppedMessage);
    return {};
  }

 private:
  void removeShortcut(const PlannedShortcut& shortcut) {
    const char* const file = shortcut.file.c_str();
    log(LogLevel::Okay, LogCategory::Gen, MigrationLogText::deletingShortcut, shortcut.canonicalTarget.c_str(),
        rootDir_.c_str());
    const Expected<void> unpinned = unpinShortcut(shortcut.file);
    if (!unpinned) {
      // A shortcut still pinned is not deleted: the pin would point nowhere.
      log(LogLevel::Error, LogCategory::Dbg, MigrationLogText::unpinFailed, file, unpinned.error().message.c_str());
      record(unpinned.error());
      return;
    }
    const Expected<void> deleted = deleteShortcut(shortcut.file);
    decider_.forgetTargets();
    deletedAny_ = true;
    if (!deleted) {
      log(LogLevel::Error, LogCategory::Dbg, MigrationLogText::deleteFailed, file, deleted.error().message.c_str());
      record(deleted.error());
      return;
    }
    log(LogLevel::Okay, LogCategory::Gen, MigrationLogText::shortcutDeleted, file);
  }

  void rewriteShortcut(const PlannedShortcut& shortcut) {
    const char* const file = shortcut.file.c_str();
    log(LogLevel::Okay, LogCategory::Gen, MigrationLogText::migratingShortcut, shortcut.canonicalTarget.c_str(),
        rootDir_.c_str());
    const Expected<void> written = writeShortcut(shortcut.file, shortcut.replacement);
    if (!written) {
      log(LogLevel::Error, LogCategory::Dbg, MigrationLogText::writeFailed, file, written.error().message.c_str());
      record(written.error());
      return;
    }
    log(LogLevel::Okay, LogCategory::Gen, MigrationLogText::shortcutRewritten, file,
        shortcut.replacement.target.c_str());
  }

  // Nothing is tried: an alpha shortcut stays pinned, as it was.
  void refuseShortcut(const PlannedShortcut& shortcut) {
    const char* const file = shortcut.file.c_str();
    log(LogLevel::Okay, LogCategory::Gen, MigrationLogText::shortcutLeftUnchanged, file, shortcut.reason.c_str());
    const bool deleting = shortcut.failure.code == MigrationErrorCode::deleteShortcut;
    log(LogLevel::Error, LogCategory::Dbg, deleting ? MigrationLogText::deleteFailed : MigrationLogText::writeFailed,
        file, shortcut.failure.message.c_str());
    record(shortcut.failure);
  }

  // A shortcut to act on is decided again just before the act. One planned to
  // be left alone can only have changed its decision through a deletion of
  // this run (its target gone): until one happens, the plan's decision is the
  // one a fresh reading would give, and reading it again would double the
  // cost of a run that has nothing to do. Loading a shortcut costs about a
  // tenth of saving one, so a file whose stamp is still the one taken before
  // the plan read it is not loaded again either: it holds what the plan read.
  // After a deletion every shortcut is read afresh, since what reads from a
  // shortcut depends on its target as well (the short form of a target's
  // path exists only while the target does).
  PlannedShortcut decisionNow(const PlannedShortcut& planned) {
    if (!deletedAny_) {
      if (!actsOn(planned.action)) return planned;
      if (planned.stamp && readFileStamp(planned.file) == planned.stamp) return decider_.decideAgain(planned);
    }
    return decider_.decide(planned.folder, planned.file);
  }

  static bool actsOn(ShortcutAction action) {
    return action == ShortcutAction::UnpinDelete || action == ShortcutAction::Rewrite || action == ShortcutAction::Fail;
  }

  void record(const PluginError& error) {
    if (!firstError_) firstError_ = error;
  }

  const std::string rootDir_;
  ShortcutDecider decider_;
  std::optional<PluginError> firstError_;
  bool deletedAny_ = false;
  bool stopped_ = false;
};

}  // namespace

Expected<void> carryOutShortcutPlan(const LegacyShortcutRules& rules, const ShortcutPlan& plan,
                                    const StopRequested& stop, const ShortcutAttributesQuery& attributes) {
  ShortcutMigration migration(rules, plan, attributes);
  for (const PlannedShortcut& planned : plan.shortcuts) {
    if (isStopRequested(stop)) {
      migration.stop();
      break;
    }
    migration.carryOut(planned);
  }
  if (!plan.complete) migration.stop();
  return std::move(migration).result();
}

Expected<void> migrateShortcutFolders(const LegacyShortcutRules& rules, const std::vector<std::string>& folders,
                                      std::string_view rootDir, const StopRequested& stop,
                                      const ShortcutAttributesQuery& attributes) {
  Expected<ShortcutPlan> plan = planShortcutFolders(rules, folders, rootDir, stop, attributes);
  if (!plan) return std::move(plan).error();
  return carryOutShortcutPlan(rules, *plan, stop, attributes);
}

}  // namespace Quor
