#pragma once
// Every line the migration writes to the log, in one place: the client's
// pass, the elevated pass (into its log file) and the uninstaller cleanup.
// Support staff search the core's log for these texts, so they change only
// on purpose.

namespace Quor::MigrationLogText {

// The shortcut pass: what it is about to do (OKAY, GEN) and what failed
// (ERROR, DBG; shortcut file and the error's message).
inline constexpr char deletingShortcut[] = "qel-beta-opt-in: Deleting shortcut: %s %s";      // target, root
inline constexpr char migratingShortcut[] = "qel-beta-opt-in: Migrating shortcut: %s %s\n";  // target, root
inline constexpr char unpinFailed[] = "qel-beta-opt-in: Failed to unpin link %s : %s";
inline constexpr char deleteFailed[] = "qel-beta-opt-in: Failed to delete link %s : %s";
inline constexpr char writeFailed[] = "qel-beta-opt-in: Failed to write link %s : %s";

// The shortcut pass: what it did (OKAY, GEN), one line per shortcut acted
// on or skipped. Shortcuts left alone (outside the root, not a legacy
// launcher) are every other shortcut of the machine and are not logged.
inline constexpr char shortcutDeleted[] = "qel-beta-opt-in: Deleted shortcut %s";              // file
inline constexpr char shortcutRewritten[] = "qel-beta-opt-in: Rewrote shortcut %s to start %s";  // file, new target
inline constexpr char shortcutSkipped[] = "qel-beta-opt-in: Skipped shortcut %s: %s";          // file, reason
// A shortcut to delete or rewrite whose attributes forbid it: left as it is
// (before its failure line), with the attributes named.
inline constexpr char shortcutLeftUnchanged[] = "qel-beta-opt-in: Left shortcut %s unchanged: %s";  // file, reason

// The uninstaller cleanup: removed (OKAY, GEN), not removed (ERROR, DBG).
inline constexpr char uninstallerRemoved[] = "qel-beta-opt-in: Removed uninstaller file %s";
inline constexpr char uninstallerNotRemoved[] = "Failed to remove: %s";

// A run or an elevated launch refused before anything started (ERROR,
// DBG): the error that says why, the path in it shown as far as the ANSI
// code page can show it. A client folder on a network drive (WARN, GEN):
// the elevated pass may not see the drive, which belongs to the logon
// session that mapped it.
inline constexpr char migrationRefused[] = "qel-beta-opt-in: %s";
inline constexpr char clientFolderOnNetworkDrive[] =
    "qel-beta-opt-in: The client folder %s is on a network drive, which the elevated pass may not see.";

// A shortcut folder whose path the ANSI code page cannot hold (WARN, GEN):
// left out of the pass, as far as the code page can show it.
inline constexpr char shortcutFolderLeftOut[] =
    "qel-beta-opt-in: Left out the shortcut folder %s: the ANSI code page cannot hold its path.";

// The client reading the elevated pass's log file back (WARN, GEN): the
// file and why it could not be forwarded.
inline constexpr char elevatedLogUnavailable[] = "qel-beta-opt-in: No log from the elevated pass in %s: %s";
// After the lines forwarded from a longer file (WARN, GEN): the file and
// how many of its lines went.
inline constexpr char elevatedLogTruncated[] =
    "qel-beta-opt-in: Truncated the elevated pass's log %s after %u lines: at most 1000 lines or 64 KiB are "
    "forwarded.";

}  // namespace Quor::MigrationLogText
