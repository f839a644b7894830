// A DLL holding a logger of its own, for the process-exit test: a thread of
// it stops for good inside a target's write, as a thread the system ends at
// process exit may have.
#include <windows.h>

#include "logging/log_record.h"
#include "logging/logger.h"

namespace {

HANDLE gInsideWrite = nullptr;

class BlockingLogTarget : public Quor::LogTarget {
 public:
  BlockingLogTarget() : LogTarget(Quor::LogTargetSettings{Quor::LogLevel::Okay, 0, 0, "#M"}) {}
  bool write(const Quor::LogRecord&) override {
    SetEvent(gInsideWrite);
    Sleep(INFINITE);
    return true;
  }
};

DWORD WINAPI logForever(void*) {
  Quor::log(Quor::LogLevel::Error, 0, "never finishes");
  return 0;
}

}  // namespace

// Answers once a thread is inside a log call it never leaves.
extern "C" __declspec(dllexport) void blockThreadInsideLog() {
  gInsideWrite = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  static BlockingLogTarget* const target = new BlockingLogTarget;
  Quor::addTarget(target);
  CloseHandle(CreateThread(nullptr, 0, logForever, nullptr, 0, nullptr));
  WaitForSingleObject(gInsideWrite, INFINITE);
}
