#pragma once
// Forwarding the elevated pass's log file (elevated_log_file.h) to the
// core's log, so one log tells what both passes did.

#include <functional>
#include <string_view>

#include "logging/expected.h"
#include "plugin/migration_stop.h"

namespace Quor {

// Forwarded lines start with this mark, before the pass's own text.
inline constexpr char elevatedLogMark[] = "[elevated] ";

// Runs `launch` (the elevated launch and its wait), then reads
// elevatedLogFileName in `clientFolder` (the folder the pass ran in) and
// logs each of its lines again at its own level, marked with
// elevatedLogMark; a line of another form goes at OKAY as it is. A file that
// is missing, unreadable, or older than the launch (left by an earlier run,
// as when the prompt was declined) is one WARN line instead. The launch's
// result is returned unchanged: the log never decides the outcome. Once
// `stop` answers true nothing more is read or logged: the plugin is going,
// and an elevated pass still running may still be writing the file.
Expected<void> launchForwardingElevatedLog(std::string_view clientFolder,
                                           const std::function<Expected<void>()>& launch,
                                           const StopRequested& stop = {});

}  // namespace Quor
