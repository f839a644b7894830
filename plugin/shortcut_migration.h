#pragma once
// The shortcut migration over a list of folders: shortcuts of the old alpha
// client that point into the installation are unpinned and deleted, and
// shortcuts that start a legacy launcher executable in it are rewritten to
// start the new client.

#include <string>
#include <string_view>
#include <vector>

#include "logging/expected.h"
#include "plugin/legacy_shortcut_rules.h"
#include "plugin/migration_stop.h"
#include "plugin/shortcut_plan.h"

namespace Quor {

// Walks each folder, in order, for "*.lnk" entries in it and down to two
// folder levels below it (so Quick Launch's "User Pinned\TaskBar" is
// reached), depth first. For each shortcut whose target's canonical long path
// lies in the canonical long form of `rootDir`:
// - a file name that matches the obsolete-shortcut pattern: unpin, then delete
//   (whatever the target's name; never rewritten);
// - else a target named like a legacy executable: replace the shortcut by one
//   to "<root>\TessarynClient.exe" with working directory "<root>" and that
//   icon at index 0 (arguments and everything else are dropped), where
//   "<root>" is the canonical long root without a trailing separator (but
//   "C:\" for a drive's root);
// - else leave it alone.
// Shortcuts that cannot be read, and targets in the root that cannot be
// normalized (a target that no longer exists) or that the ANSI code page
// cannot hold exactly, are skipped: logged, never a failure; such a target
// outside the root is left alone unlogged. A
// shortcut to delete that is read-only, or one to rewrite that is read-only,
// hidden or system, is failed (55 or 48) without being touched (not even
// unpinned), its attributes named in the log. Unpin, delete and write
// failures are logged and do not stop the walk; the first of them is the
// result.
//
// The thread must have COM initialized. Errors before any folder is walked:
// 61 or 62 when `rootDir` cannot be normalized; 61 "Failed to canonicalize
// %s" as well when it is empty or names no more than the current drive's
// root ("\"), which would otherwise take in paths that are no part of any
// installation.
//
// `stop` is asked before each shortcut; once it answers true the walk ends
// and the result is the first failure so far, or migrationStoppedMessage.
//
// It is planShortcutFolders followed by carryOutShortcutPlan; `attributes` as
// for ShortcutDecider (the file system's own when empty).
Expected<void> migrateShortcutFolders(const LegacyShortcutRules& rules, const std::vector<std::string>& folders,
                                      std::string_view rootDir, const StopRequested& stop = {},
                                      const ShortcutAttributesQuery& attributes = {});

// Carries `plan` out entry by entry, in its order. Each entry is decided
// again just before it is acted on (an earlier deletion may have removed its
// target, or the files may have changed since the plan was made), and the
// fresh decision is what happens: the outcome is the one of a walk that
// decided as it went. A shortcut file whose stamp (attributes, size,
// creation and last write times) is still the one the plan took is decided
// again from the plan's reading, without loading it anew. Logs one line per
// shortcut acted on or skipped (migration_log_texts.h). `stop` is asked before each entry; an incomplete
// plan ends as stopped after its entries.
Expected<void> carryOutShortcutPlan(const LegacyShortcutRules& rules, const ShortcutPlan& plan,
                                    const StopRequested& stop = {}, const ShortcutAttributesQuery& attributes = {});

}  // namespace Quor
