#pragma once
// Threads of the library's own, for work that cannot be interrupted (a shell
// call that waits on the user or on a shell extension) and that the job must
// be able to leave behind when the plugin stops. Such a thread holds its own
// reference on the library's module, taken before the thread starts, so the
// code it runs stays mapped after the core unloads the plugin; it gives the
// reference up with FreeLibraryAndExitThread once everything of ours on it
// is gone. COM is initialised in the single-threaded apartment for the work.

#include <functional>

namespace Quor {

// Runs `work` once on a new thread of the library's own; its captures are
// destroyed on that thread, before the module reference goes. False (work
// not run, and destroyed here) when the thread cannot be started. The work
// must call nothing of the core: the plugin may be stopped and unloaded
// while it runs.
bool startLibraryThread(std::function<void()> work);

// How a caller starts its thread: startLibraryThread, or a test's own.
using LibraryThreadStarter = bool (*)(std::function<void()> work);

}  // namespace Quor
