// The elevation prompt's shell call, made on a thread of the library's own
// (plugin/library_thread.h).

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <utility>

#include "plugin/library_thread.h"
#include "plugin/shell_execute_thread.h"

namespace Quor {

namespace {

enum CallState : int { callRunning, callAnswered, callAbandoned };

class ThreadShellExecuteCall final : public ShellExecuteCall {
 public:
  ThreadShellExecuteCall(ElevatedLaunchSystem& system, const ShellExecuteRequest& request)
      : system_(system),
        mask_(request.mask),
        show_(request.show),
        verb_(request.verb != nullptr ? request.verb : ""),
        file_(request.file != nullptr ? request.file : ""),
        parameters_(request.parameters != nullptr ? request.parameters : ""),
        returned_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
  ~ThreadShellExecuteCall() override {
    if (returned_ != nullptr) CloseHandle(returned_);
  }
  ThreadShellExecuteCall(const ThreadShellExecuteCall&) = delete;
  ThreadShellExecuteCall& operator=(const ThreadShellExecuteCall&) = delete;

  bool usable() const { return returned_ != nullptr; }

  bool answered() const override { return state_.load(std::memory_order_acquire) == callAnswered; }

  bool waitForAnswer(unsigned milliseconds) override {
    if (!answered()) WaitForSingleObject(returned_, milliseconds);
    return answered();
  }

  ShellExecuteAnswer answer() const override { return answer_; }

  void abandon() override {
    int expected = callRunning;
    // Already answered: the job holds the handle and closes it here.
    if (!state_.compare_exchange_strong(expected, callAbandoned)) closeStartedProcess();
  }

  // On the thread.
  void run() {
    ShellExecuteRequest request;
    request.mask = mask_;
    request.verb = verb_.c_str();
    request.file = file_.c_str();
    request.parameters = parameters_.c_str();
    request.show = show_;
    answer_ = system_.shellExecute(request);
    int expected = callRunning;
    // Abandoned: nobody waits for the process; it runs on, its handle goes.
    if (!state_.compare_exchange_strong(expected, callAnswered)) closeStartedProcess();
    SetEvent(returned_);
  }

 private:
  void closeStartedProcess() {
    if (answer_.process != nullptr && answer_.process != invalidProcessHandle) system_.closeProcess(answer_.process);
  }

  ElevatedLaunchSystem& system_;
  std::uint32_t mask_;
  std::int32_t show_;
  std::string verb_;
  std::string file_;
  std::string parameters_;
  HANDLE returned_;
  ShellExecuteAnswer answer_{};
  std::atomic<int> state_{callRunning};
};

}  // namespace

std::shared_ptr<ShellExecuteCall> startShellExecute(ElevatedLaunchSystem& system, const ShellExecuteRequest& request) {
  auto call = std::make_shared<ThreadShellExecuteCall>(system, request);
  if (!call->usable()) return nullptr;
  if (!startLibraryThread([call] { call->run(); })) return nullptr;
  return call;
}

}  // namespace Quor
