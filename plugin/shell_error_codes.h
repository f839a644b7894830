#pragma once
// Error codes of the shell link and path utilities. They become the
// elevated migration process's exit code, so the
// values are fixed.

#include <cstdint>

namespace Quor::ShellErrorCode {

// writeShortcut
inline constexpr std::int32_t writeCreateInstance = 43;       // "CoCreateInstance failed"
inline constexpr std::int32_t writeSetPath = 44;              // "SetPath failed for %s"
inline constexpr std::int32_t writeSetWorkingDirectory = 45;  // "SetWorkingDirectory failed for %s"
inline constexpr std::int32_t writeSetIconLocation = 46;      // "SetIconLocation failed for %s"
inline constexpr std::int32_t writeQueryInterface = 47;       // "QueryInterface failed"
inline constexpr std::int32_t writeSave = 48;                 // "Save failed for %s"

// readShortcut (a shortcut that cannot be read is skipped by the shortcut migration, so
// these never become an exit code)
inline constexpr std::int32_t readCreateInstance = 49;  // "CoCreateInstance failed"
inline constexpr std::int32_t readQueryInterface = 50;  // "QueryInterface failed"
inline constexpr std::int32_t readLoad = 51;            // "Load failed for %s"
inline constexpr std::int32_t readGetPath = 52;         // "GetPath failed"

// unpinShortcut
inline constexpr std::int32_t unpinCreateItem = 56;      // "SHCreateItemFromParsingName failed for %s"
inline constexpr std::int32_t unpinCreateInstance = 57;  // "CoCreateInstance failed"
inline constexpr std::int32_t unpinRemoveFromList = 58;  // "RemoveFromList failed"

// canonicalLongPath
inline constexpr std::int32_t canonicalize = 61;  // "Failed to canonicalize %s"
inline constexpr std::int32_t longPathName = 62;  // "Failed to get long path name for %s"

}  // namespace Quor::ShellErrorCode
