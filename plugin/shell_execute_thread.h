#pragma once
// The elevation prompt on a thread of the library's own. ShellExecuteExA
// with the "runas" verb does not return while the prompt is open, and
// nothing can interrupt it; on its own thread the job can go on waiting
// cooperatively, notice a stop and leave, while the prompt is left to be
// answered later. The thread holds a reference on the library's module, so
// the code it runs stays mapped after the core unloads the plugin.

#include <memory>

#include "plugin/elevated_launch.h"

namespace Quor {

// One shell call shared by the job and the thread that makes it; whichever
// of the two lets go last frees it.
class ShellExecuteCall {
 public:
  virtual ~ShellExecuteCall() = default;
  // Whether the shell call has returned; answer() is then its result.
  virtual bool answered() const = 0;
  // Blocks for at most `milliseconds` until the call has returned.
  virtual bool waitForAnswer(unsigned milliseconds) = 0;
  virtual ShellExecuteAnswer answer() const = 0;
  // The job leaves without the answer: a process started is not waited
  // for, only its handle is closed (by the thread when the answer comes
  // later, here when it came in the meantime).
  virtual void abandon() = 0;
};

// Starts system.shellExecute(request) on a new thread with COM initialised
// for the single-threaded apartment; the request's texts are copied. Null
// when the thread cannot be started. `system` must outlive the thread (the
// real one is a global of the library, which the thread keeps mapped).
std::shared_ptr<ShellExecuteCall> startShellExecute(ElevatedLaunchSystem& system, const ShellExecuteRequest& request);

}  // namespace Quor
