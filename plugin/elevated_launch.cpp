#include "plugin/elevated_launch.h"

#include <array>
#include <memory>

#include "logging/log_record.h"
#include "logging/logger.h"
#include "logging/make_error.h"
#include "logging/system_error_text.h"
#include "plugin/command_escaping.h"
#include "plugin/migration_codes.h"
#include "plugin/migration_log_texts.h"
#include "plugin/path_utilities.h"
#include "plugin/shell_execute_thread.h"

namespace Quor {

namespace {

constexpr std::int64_t pollSliceNanoseconds = 1'000'000'000;
constexpr std::int64_t waitLimitTicks = 600'000'000;  // 60 s in 100 ns

std::string systemErrorMessage(std::uint32_t code) {
  std::array<char, 1024> text{};
  return systemErrorText(code, text.data(), text.size());
}

Expected<std::string> systemFolder(ElevatedLaunchSystem& system) {
  std::array<char, maxPathBytes> buffer{};
  const std::uint32_t length = system.systemDirectory(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
  if (length >= maxPathBytes) {
    return makeError(0, "Failed to GetSystemDirectoryPath: %1", "GetSystemDirectory result too large.");
  }
  if (length == 0) {
    return makeError(0, "Failed to GetSystemDirectoryPath: %1", systemErrorMessage(system.lastErrorCode()));
  }
  return std::string(buffer.data(), length);
}

bool isSlash(char c) { return c == '\\' || c == '/'; }

std::string withBackslashes(std::string path) {
  // "/" is never the second byte of a double-byte character.
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

constexpr unsigned promptGraceMilliseconds = 100;

// One slice: announce the wait, yield until a second of the steady clock
// has passed (or endEarly answers true), end the wait.
template <class EndEarly>
void waitOneSlice(ElevatedLaunchSystem& system, CooperativeWaiting& waiting, const EndEarly& endEarly) {
  const std::int64_t due = system.steadyNanoseconds() + pollSliceNanoseconds;
  waiting.beginWait(waitSleepLabel, 0);
  do {
    waiting.yield();
  } while (system.steadyNanoseconds() < due && !endEarly());
  waiting.endWait();
}

PluginError stoppedError() { return makeError(0, migrationStoppedMessage); }

// The client folder "cd /d" is to enter, or why it cannot.
Expected<std::string> usableClientFolder(ElevatedLaunchSystem& system) {
  Expected<std::string> folder = system.executableDirectory();
  if (!folder) return folder;
  // `cd /d ""` leaves the interpreter where it was.
  if (folder->empty()) return makeError(0, "Cannot start the elevated migration: the client folder is empty.");
  // cmd.exe refuses a UNC current directory (and a "\\?\" one).
  if (folder->size() >= 2 && isSlash((*folder)[0]) && isSlash((*folder)[1])) {
    return makeError(0,
                     "Cannot start the elevated migration: the client folder %1 is a UNC path, which cmd.exe cannot "
                     "make its current directory.",
                     *folder);
  }
  if (system.isOnNetworkDrive(*folder)) {
    log(LogLevel::Warn, LogCategory::Gen, MigrationLogText::clientFolderOnNetworkDrive, folder->c_str());
  }
  return folder;
}

// The shell call on its own thread, waited for in the same slices as the
// process. A stop leaves the prompt open; its answer then only closes the
// process handle.
Expected<ShellExecuteAnswer> awaitShellExecute(const ShellExecuteRequest& request, ElevatedLaunchSystem& system,
                                               CooperativeWaiting& waiting, const StopRequested& stop) {
  const std::shared_ptr<ShellExecuteCall> call = startShellExecute(system, request);
  if (!call) return makeError(0, "Failed to start the thread of the elevation prompt.");
  // An answer that comes at once (no prompt) needs no wait announced.
  call->waitForAnswer(promptGraceMilliseconds);
  while (!call->answered()) {
    if (isStopRequested(stop)) {
      call->abandon();
      return stoppedError();
    }
    waitOneSlice(system, waiting, [&] { return call->answered() || isStopRequested(stop); });
  }
  return call->answer();
}

Expected<void> awaitElevatedProcess(ProcessHandle process, ElevatedLaunchSystem& system,
                                    CooperativeWaiting& waiting, const StopRequested& stop) {
  const std::int64_t deadline = system.wallClockTicks() + waitLimitTicks;
  ProcessPoll poll = ProcessPoll::Running;
  do {
    waitOneSlice(system, waiting, [&] { return isStopRequested(stop); });
    // The process is left to finish on its own.
    if (isStopRequested(stop)) return stoppedError();
    poll = system.pollProcess(process);
  } while (poll == ProcessPoll::Running && system.wallClockTicks() < deadline);

  if (poll == ProcessPoll::Running) return makeError(0, "Timed out waiting for admin process.");
  if (poll == ProcessPoll::Failed) {
    return makeError(0, "Error waiting for admin process: %1", systemErrorMessage(system.lastErrorCode()));
  }
  std::uint32_t exitCode = 0;
  if (!system.processExitCode(process, exitCode)) {
    return makeError(0, "Error getting exit code for admin process: %1", systemErrorMessage(system.lastErrorCode()));
  }
  if (exitCode != kAdminSuccessExitCode) {
    return makeError(0, "Admin process did not return kAdminSuccessExitCode. Exit code was: %1", exitCode);
  }
  return {};
}

}  // namespace

Expected<std::string> elevatedMigrationParameters(std::string_view exeDir, std::string_view rundllPath,
                                                  std::string_view rootDir) {
  Expected<std::string> folder = commandLineText(exeDir, CommandTextPlace::insideQuotes);
  if (!folder) return std::move(folder).error();
  Expected<std::string> rundll = commandLineText(rundllPath, CommandTextPlace::insideQuotes);
  if (!rundll) return std::move(rundll).error();
  Expected<std::string> root = commandLineText(rootDir, CommandTextPlace::outsideQuotes);
  if (!root) return std::move(root).error();

  // Starts with "cd", never with a quote, which /C would strip.
  std::string parameters = "/D /E:ON /V:OFF /C cd /d \"";
  parameters += *folder;
  parameters += "\" && \"";
  parameters += *rundll;
  parameters += "\" ";
  parameters += pluginLibraryRelativePath;
  parameters += migrateEntrySuffix;
  parameters += *root;
  return parameters;
}

Expected<void> launchElevatedMigration(std::string_view rootDir, ElevatedLaunchSystem& system,
                                       CooperativeWaiting& waiting, const StopRequested& stop) {
  if (!system.isVersion6OrLater()) return {};

  Expected<std::string> systemDir = systemFolder(system);
  if (!systemDir) return std::move(systemDir).error();
  Expected<std::string> clientFolder = usableClientFolder(system);
  if (!clientFolder) {
    log(LogLevel::Error, LogCategory::Dbg, MigrationLogText::migrationRefused, clientFolder.error().message.c_str());
    return std::move(clientFolder).error();
  }
  const std::string& exeDir = *clientFolder;
  const std::string cmdPath = withBackslashes(joinPath(*systemDir, "cmd.exe"));
  const std::string rundllPath = joinPath(*systemDir, "rundll32.exe");
  // A path the command line cannot carry fails here, before anything starts.
  const Expected<std::string> parameters = elevatedMigrationParameters(exeDir, rundllPath, rootDir);
  if (!parameters) return parameters.error();

  ShellExecuteRequest request;
  request.mask = elevatedLaunchMask;
  request.verb = "runas";
  request.file = cmdPath.c_str();
  request.parameters = parameters->c_str();
  request.show = 0;  // SW_HIDE
  Expected<ShellExecuteAnswer> answered = awaitShellExecute(request, system, waiting, stop);
  if (!answered) return std::move(answered).error();
  const ShellExecuteAnswer answer = *answered;

  if (answer.instApp == declinedPromptInstApp) return makeError(0, "Player Declined Uac Prompt");
  if (answer.instApp <= 32) {
    return makeError(0, "Failed to start migration admin process (error %1).",
                     static_cast<std::uint32_t>(answer.instApp));
  }
  if (answer.process == invalidProcessHandle) return makeError(0, "shExecInfo.hProcess was INVALID_HANDLE_VALUE");
  if (answer.process == nullptr) return makeError(0, "shExecInfo.hProcess was NULL");

  // The 60 seconds start now, when the shell call has returned.
  Expected<void> outcome = awaitElevatedProcess(answer.process, system, waiting, stop);
  // A process still running keeps running; only our handle goes.
  system.closeProcess(answer.process);
  return outcome;
}

}  // namespace Quor
