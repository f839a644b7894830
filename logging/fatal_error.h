#pragma once
// Fatal conditions: a fixed identifier ("ALE-" and eight hexadecimal digits)
// and a description are logged as an assertion report (level ERROR, category
// DBG), then either the process or only the current operation ends. A report
// raised inside a log target's write, where the logger drops every call, goes
// to standard error directly.

namespace Quor {

// For a condition the process cannot survive (an incompatible core at load):
// logs the report and ends the process abnormally. Does not return.
[[noreturn]] void endProcessOnFatalError(const char* identifier, const char* description);

// For a condition that ends only the operation in progress (an answer of the
// core without which the operation cannot go on): logs the report and
// returns; the caller then returns at once without a result. The process,
// and the core around it, go on.
void endOperationOnFatalError(const char* identifier, const char* description);

// Called by endProcessOnFatalError after the report is logged, in place of
// ending the process. A hook that returns does not stop the process from
// ending, so a hook that wants to go on must leave by other means (a test
// throws). Null restores the default. Answers the previous hook.
using ProcessEndHook = void (*)(const char* identifier);
ProcessEndHook setProcessEndHook(ProcessEndHook hook);

// Ends the process at once, abnormally, without running the library's or
// the process's shutdown code.
[[noreturn]] void endProcessAbnormally();

}  // namespace Quor
