#pragma once
// The elevated migration process's entry, exported as "_MigrateEntryPoint@16"
// for rundll32.exe:
//   rundll32.exe <library>,_MigrateEntryPoint@16 <installation root>
// rundll32 hands over everything after the entry name and its blank as the
// command line: the root, unquoted, blanks included, taken as it comes.

#include <windows.h>

#include <cstdint>

#include "logging/expected.h"

namespace Quor {

// 42 for success; the error's code, or 41 for an error without one.
std::uint32_t migrationExitCode(const Expected<void>& result);

}  // namespace Quor

// Runs migrateShortcuts(commandLine) over the all-users folders
// (ShortcutPass::Elevated) and ends the process with migrationExitCode of
// its result (41 when the run itself throws, as a failed allocation does).
// Never returns.
extern "C" void __stdcall MigrateEntryPoint(HWND window, HINSTANCE instance, LPSTR commandLine, int showCommand);
