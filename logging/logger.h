#pragma once
// The process-wide logger: every log call of the library goes through it.
//
// The logger is created on first use (a log call, a settings call or
// acquireLogger) with the global minimum level WARN, the category XTR
// excluded, and the standard error and debugger targets registered in that
// order. It lives until the release that brings the use count back to 0, or
// until the library is unloaded; afterwards the next use creates a fresh one.
// While the process exits, the system has ended the other threads wherever
// they were: the logger then takes its lock only when it is free, and leaves
// the logger in place (and drops the call) when a dead thread still holds it.
//
// A call is rejected by the pause flag, the global minimum level and the
// globally excluded categories before its message is formatted. Messages and
// lines are built in 4096-byte buffers on the caller's stack; nothing is
// allocated while logging. Log calls made by a target while it writes (on the
// same thread) are dropped, so a target cannot recurse into itself.

#include <cstdarg>
#include <cstdint>
#include <mutex>

#include "logging/bounded_format.h"
#include "logging/console_log_targets.h"
#include "logging/log_record.h"
#include "logging/log_target.h"

namespace Quor {

// Logs a printf-style message (cut at 4095 characters) at `level` with the
// category mask `category`.
void log(std::int32_t level, std::uint64_t category, const char* format, ...) QCP_PRINTF_LIKE(3, 4);
void logV(std::int32_t level, std::uint64_t category, const char* format, std::va_list arguments);

// Counted use: the first acquire creates the logger; the release that brings
// the count to 0 unregisters every target (last registered first) and
// destroys the logger with its built-in targets. A release without an
// acquire changes nothing.
void acquireLogger();
void releaseLogger();

void setMinimumLevel(std::int32_t level);
std::int32_t getMinimumLevel();
void setExcludedCategories(std::uint64_t mask);
std::uint64_t getExcludedCategories();

// While paused, every log call is dropped.
void pause();
void resume();

// Appends `target` to the registered list (a target already there keeps its
// place); removes every occurrence of it. Null is ignored.
void addTarget(LogTarget* target);
void removeTarget(LogTarget* target);

// The first registered target whose name() is `name`, or null.
LogTarget* findTarget(const char* name);

// The current logger's built-in targets; valid until it is destroyed.
StdOutLogTarget* stdOutTarget();
StdErrLogTarget* stdErrTarget();
DebuggerConsoleLogTarget* debuggerTarget();

// The logger's lock (recursive). Whoever needs it together with a target's
// lock takes it first.
std::recursive_mutex& loggerLock();

}  // namespace Quor
