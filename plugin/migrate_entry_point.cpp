#include "plugin/migrate_entry_point.h"

#include <exception>

#include "plugin/elevated_log_file.h"
#include "plugin/migration_codes.h"
#include "plugin/migration_run.h"

namespace Quor {

std::uint32_t migrationExitCode(const Expected<void>& result) {
  if (result) return kAdminSuccessExitCode;
  if (result.error().code != 0) return static_cast<std::uint32_t>(result.error().code);
  return kUncodedFailureExitCode;
}

}  // namespace Quor

extern "C" void __stdcall MigrateEntryPoint(HWND, HINSTANCE, LPSTR commandLine, int) {
  std::uint32_t exitCode = Quor::kUncodedFailureExitCode;
  try {
    // Closed before the process ends: its lines are for the client to forward.
    const Quor::ElevatedLogFile logFile(Quor::elevatedLogFileName);
    exitCode = Quor::migrationExitCode(
        Quor::migrateShortcuts(commandLine != nullptr ? commandLine : "", Quor::ShortcutPass::Elevated));
  } catch (...) {
    // Nothing may unwind into rundll32, whatever was thrown; the failure
    // has no code.
  }
  ExitProcess(exitCode);
}
