#pragma once
// Error codes raised by the shortcut migration itself, and the exit codes of
// the elevated migration process. Failure codes become that process's exit
// code, so the values are fixed (the shell utilities' codes are in
// shell_error_codes.h).

#include <cstdint>

namespace Quor {

namespace MigrationErrorCode {
inline constexpr std::int32_t deleteShortcut = 55;         // "Failed to delete %s"
inline constexpr std::int32_t shellFolder = 59;            // "SHGetFolderPath failed": a desktop or Start-menu folder
inline constexpr std::int32_t applicationDataFolder = 60;  // "SHGetFolderPath failed": Quick Launch's roaming data
}  // namespace MigrationErrorCode

// The elevated run succeeded.
inline constexpr std::uint32_t kAdminSuccessExitCode = 42;
// The elevated run failed with an error that carries no code.
inline constexpr std::uint32_t kUncodedFailureExitCode = 41;

}  // namespace Quor
