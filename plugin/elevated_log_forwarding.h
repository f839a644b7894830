#pragma once
// Forwarding the elevated pass's log file (elevated_log_file.h) to the
// core's log, so one log tells what both passes did.

#include <cstddef>
#include <functional>
#include <string_view>

#include "logging/expected.h"
#include "plugin/migration_stop.h"

namespace Quor {

// Forwarded lines start with this mark, before the pass's own text.
inline constexpr char elevatedLogMark[] = "[elevated] ";
// What is forwarded at most; one WARN line says when a file held more.
inline constexpr std::size_t maxForwardedLogBytes = 64 * 1024;
inline constexpr std::size_t maxForwardedLogLines = 1000;

// Whether the open file `file` (a HANDLE opened with READ_CONTROL) is owned
// by the Administrators group, as every file an elevated process of an
// administrator creates is, and no file the player's own programs make.
// Tests put in their own answer (Wine keeps no owners).
using ElevatedLogOwnership = std::function<bool(void* file)>;
bool isOwnedByAdministrators(void* file);

// Runs `launch` (the elevated launch and its wait), then reads
// elevatedLogFileName in `clientFolder` (the folder the pass ran in) and
// logs each of its lines again at its own level, marked with
// elevatedLogMark; a line of another form goes at OKAY as it is. Only the
// file the pass wrote in this run is read: not a link or reparse point, not
// older than the launch (left by an earlier run, as when the prompt was
// declined), and owned by the Administrators group (`ownership`, the real
// check when empty), so a file planted by a program of the player's is never
// passed off as the elevated pass's. Any other file is one WARN line
// instead. At most maxForwardedLogLines lines and maxForwardedLogBytes bytes
// are forwarded, then one WARN line says the log is truncated. The launch's
// result is returned unchanged: the log never decides the outcome. With an
// empty `clientFolder` (the launch refused it) nothing is read. Once `stop`
// answers true nothing more is read or logged: the plugin is going, and an
// elevated pass still running may still be writing the file.
Expected<void> launchForwardingElevatedLog(std::string_view clientFolder,
                                           const std::function<Expected<void>()>& launch,
                                           const StopRequested& stop = {},
                                           const ElevatedLogOwnership& ownership = {});

}  // namespace Quor
