#pragma once
// Deleting a file even when it is read-only, for the legacy
// uninstaller cleanup.

#include <string_view>

namespace Quor {

// True when the file is gone afterwards: it did not exist, it vanished
// meanwhile, or it was deleted (after clearing its read-only attribute).
// False when the read-only attribute could not be cleared or the deletion
// failed (a file held open, no access), and for a folder (whose attributes are
// left alone).
bool removeFileForce(std::string_view path);

}  // namespace Quor
