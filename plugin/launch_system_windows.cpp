// The real system behind the elevated launch.

#include <windows.h>
#include <shellapi.h>

#include <chrono>

#include "plugin/elevated_launch.h"
#include "plugin/path_utilities.h"

namespace Quor {

namespace {

class WindowsLaunchSystem final : public ElevatedLaunchSystem {
 public:
  bool isVersion6OrLater() override {
    // Major, minor and service-pack major each at least 6, 0 and 0; the last
    // two always are. A system that does not say is taken to be recent: the
    // launch is tried.
    OSVERSIONINFOEXA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) return true;
    return version.dwMajorVersion >= 6;
  }

  std::uint32_t systemDirectory(char* buffer, std::uint32_t size) override {
    return GetSystemDirectoryA(buffer, size);
  }

  Expected<std::string> executableDirectory() override { return Quor::executableDirectory(); }

  bool isOnNetworkDrive(const std::string& folder) override {
    if (folder.size() < 2 || folder[1] != ':') return false;
    const char root[] = {folder[0], ':', '\\', '\0'};
    return GetDriveTypeA(root) == DRIVE_REMOTE;
  }

  ShellExecuteAnswer shellExecute(const ShellExecuteRequest& request) override {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = request.mask;
    info.hwnd = nullptr;
    info.lpVerb = request.verb;
    info.lpFile = request.file;
    info.lpParameters = request.parameters;
    info.lpDirectory = nullptr;
    info.nShow = request.show;
    // The decision rests on hInstApp, not on the call's own answer.
    ShellExecuteExA(&info);
    return {reinterpret_cast<std::uintptr_t>(info.hInstApp), info.hProcess};
  }

  ProcessPoll pollProcess(ProcessHandle process) override {
    switch (WaitForSingleObject(process, 0)) {
      case WAIT_OBJECT_0:
        return ProcessPoll::Exited;
      case WAIT_TIMEOUT:
        return ProcessPoll::Running;
      default:
        return ProcessPoll::Failed;
    }
  }

  bool processExitCode(ProcessHandle process, std::uint32_t& exitCode) override {
    DWORD code = 0;
    if (!GetExitCodeProcess(process, &code)) return false;
    exitCode = code;
    return true;
  }

  void closeProcess(ProcessHandle process) override { CloseHandle(process); }

  std::uint32_t lastErrorCode() override { return GetLastError(); }

  std::int64_t steadyNanoseconds() override {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }

  std::int64_t wallClockTicks() override {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
  }
};

}  // namespace

ElevatedLaunchSystem& windowsLaunchSystem() {
  static WindowsLaunchSystem system;
  return system;
}

}  // namespace Quor
