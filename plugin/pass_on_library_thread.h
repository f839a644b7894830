#pragma once
// The client's own shortcut pass on a thread of the library's own
// (plugin/library_thread.h). A shell call inside the pass (an unpin that a
// shell extension holds, a shortcut on a slow share) cannot be interrupted;
// on its own thread the job waits for it cooperatively, notices a stop within
// a moment and leaves, and the pass ends alone at its next shortcut.

#include <functional>

#include "logging/expected.h"
#include "plugin/elevated_launch.h"
#include "plugin/library_thread.h"
#include "plugin/migration_stop.h"

namespace Quor {

// A pass that asks `stop` between its shortcuts. It runs on another thread:
// it must capture nothing of the plugin object, and call nothing of the core.
using StoppablePass = std::function<Expected<void>(const StopRequested& stop)>;

// Runs pass on a thread started by startThread and waits for its outcome,
// first up to 100 ms with no wait announced, then in "Wait: sleep" slices of
// one second (beginWait, yields, endWait), asking `stop` at every yield. Once
// `stop` answers true the outcome is migrationStoppedMessage at once; the
// pass's own stop then answers true and its outcome goes nowhere. When no
// thread can be started the pass runs here, on the calling thread.
Expected<void> runPassOnLibraryThread(const StoppablePass& pass, CooperativeWaiting& waiting,
                                      const StopRequested& stop,
                                      LibraryThreadStarter startThread = &startLibraryThread);

}  // namespace Quor
