#include "console_stop.h"

#include <windows.h>

#include <mutex>

namespace PluginHost {
namespace {

std::mutex stopMutex;
std::function<void()> stopCall;

BOOL WINAPI consoleSignal(DWORD) {
  const std::lock_guard<std::mutex> lock(stopMutex);
  if (!stopCall) return FALSE;
  stopCall();
  return TRUE;
}

}  // namespace

void onConsoleStop(std::function<void()> stop) {
  const bool set = static_cast<bool>(stop);
  {
    const std::lock_guard<std::mutex> lock(stopMutex);
    stopCall = std::move(stop);
  }
  SetConsoleCtrlHandler(consoleSignal, set ? TRUE : FALSE);
}

}  // namespace PluginHost
