#pragma once
// Starting the elevated copy of the library from inside the client:
//   cmd.exe /D /E:ON /V:OFF /C cd /d "<client folder>\" && "<system>/rundll32.exe"
//       Plugins\...\qcp-be-qel-beta-opt-in.dll,_MigrateEntryPoint@16 <root>
// through the "runas" verb, then waiting for it cooperatively (the job thread
// yields to the host in one-second slices) for up to 60 seconds, or until the
// plugin is stopped.
//
// Everything the launch asks of the system goes through ElevatedLaunchSystem,
// so the prompt being declined, an old system, a long system folder or a
// process that never ends can be put in place of the real thing.

#include <cstdint>
#include <string>
#include <string_view>

#include "logging/expected.h"
#include "plugin/migration_stop.h"

namespace Quor {

// A process handle as the shell hands it back.
using ProcessHandle = void*;
// INVALID_HANDLE_VALUE.
inline const ProcessHandle invalidProcessHandle = reinterpret_cast<ProcessHandle>(static_cast<std::intptr_t>(-1));

// The fields of SHELLEXECUTEINFOA the launch sets; everything else is zero.
struct ShellExecuteRequest {
  std::uint32_t mask = 0;
  const char* verb = nullptr;
  const char* file = nullptr;
  const char* parameters = nullptr;
  std::int32_t show = 0;
};

// What ShellExecuteExA leaves in the structure.
struct ShellExecuteAnswer {
  std::uintptr_t instApp = 0;
  ProcessHandle process = nullptr;
};

// The answer of a wait with a time-out of 0.
enum class ProcessPoll { Exited, Running, Failed };

class ElevatedLaunchSystem {
 public:
  virtual ~ElevatedLaunchSystem() = default;

  // Version 6.0 with service pack 0 or later.
  virtual bool isVersion6OrLater() = 0;
  // GetSystemDirectoryA: the length written, the size needed when `size` is
  // too small, 0 on failure (lastErrorCode tells why).
  virtual std::uint32_t systemDirectory(char* buffer, std::uint32_t size) = 0;
  // The client executable's folder with a trailing "\", exactly in the ANSI
  // code page (path_utilities.h's executableDirectory), or why not.
  virtual Expected<std::string> executableDirectory() = 0;
  // Whether `folder` lies on a network drive (a mapped drive letter).
  virtual bool isOnNetworkDrive(const std::string& folder) = 0;
  virtual ShellExecuteAnswer shellExecute(const ShellExecuteRequest& request) = 0;
  virtual ProcessPoll pollProcess(ProcessHandle process) = 0;
  virtual bool processExitCode(ProcessHandle process, std::uint32_t& exitCode) = 0;
  virtual void closeProcess(ProcessHandle process) = 0;
  virtual std::uint32_t lastErrorCode() = 0;
  // Steady clock in nanoseconds; wall clock in 100-nanosecond ticks.
  virtual std::int64_t steadyNanoseconds() = 0;
  virtual std::int64_t wallClockTicks() = 0;
};

// The host's cooperative waiting (PluginBase's beginWait, yield, endWait).
class CooperativeWaiting {
 public:
  virtual ~CooperativeWaiting() = default;
  virtual void beginWait(const char* label, std::uint32_t flags) = 0;
  virtual void yield() = 0;
  virtual void endWait() = 0;
};

// The real system (launch_system_windows.cpp).
ElevatedLaunchSystem& windowsLaunchSystem();

inline constexpr char pluginLibraryRelativePath[] = "Plugins\\qcp-be-qel-beta-opt-in\\qcp-be-qel-beta-opt-in.dll";
inline constexpr char migrateEntrySuffix[] = ",_MigrateEntryPoint@16 ";
inline constexpr char waitSleepLabel[] = "Wait: sleep";
// SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC.
inline constexpr std::uint32_t elevatedLaunchMask = 0x140;
inline constexpr std::uint32_t declinedPromptInstApp = 5;  // SE_ERR_ACCESSDENIED

// cmd.exe's parameters: `/D /E:ON /V:OFF /C cd /d "` exeDir `" && "`
// rundllPath `" ` and the entry (library path, entry suffix, root unquoted),
// each path written for its place (plugin/command_escaping.h): a path with
// none of "^ & | < > %" stands as it is. /D keeps the registry's AutoRun commands
// from running elevated. A path no command line can carry is an error.
Expected<std::string> elevatedMigrationParameters(std::string_view exeDir, std::string_view rundllPath,
                                                  std::string_view rootDir);

// Starts the elevated migration for `rootDir` and waits for it. Success when
// the system is older than 6.0 (nothing is started) or the process exits with
// 42; every failure carries code 0. A client folder that cannot be read,
// that the ANSI code page cannot carry exactly, that is empty or a UNC path
// (which "cd /d" cannot enter) is refused before anything starts, the refusal
// logged at ERROR; one on a network drive is started, with a WARN line. The interpreter is handed over with "\"
// separators: Wine's cmd.exe misreads its command line when started by a
// path written with "/".
// The shell call runs on a thread of its own (shell_execute_thread.h), waited
// for in "Wait: sleep" slices like the process; the 60 seconds start when it
// has returned. `stop` is asked inside every slice: once it answers true the
// launch ends with migrationStoppedMessage, leaving an open prompt and a
// running process to finish on their own.
Expected<void> launchElevatedMigration(std::string_view rootDir, ElevatedLaunchSystem& system,
                                       CooperativeWaiting& waiting, const StopRequested& stop = {});

}  // namespace Quor
