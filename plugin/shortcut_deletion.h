#pragma once
// Deleting a shortcut file of the old alpha client.

#include <string_view>

#include "logging/expected.h"

namespace Quor {

// Deletes the file with DeleteFileA (which refuses a read-only file)
// and tells the shell. Error: 55 "Failed to delete %s" (linkPath).
Expected<void> deleteShortcut(std::string_view linkPath);

}  // namespace Quor
