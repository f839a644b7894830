#pragma once
// The installation root of the client: the folder six levels above the
// client process's current directory ("<root>\...\Client" runs with its
// current directory six folders below the root).

#include <cstddef>
#include <string>
#include <string_view>

#include "logging/expected.h"

namespace Quor {

// How many folders `path` (an absolute path, "\" or "/" separators) lies
// below its drive root ("C:\") or share root ("\\server\share"); a "\\?\"
// prefix is skipped. Empty steps do not count.
std::size_t folderLevelsBelowRoot(std::string_view path);

// The folder six levels above the current directory: its last six folder
// names taken off the text itself (never cut short by the path limit), in
// the absolute form the C runtime's full-path function gives ("C:\Games\T";
// "C:\" when the current directory is six folders deep). Fails (code 0, the
// current directory named in the message) when the current directory is
// fewer than six folders below its root, where the ".." steps would stop at
// the drive and every shortcut on it would count as the installation's, and
// when the full path cannot be formed or is not the same folder (a name
// ending in a dot or a blank, which the full path drops).
Expected<std::string> installationRoot(std::string_view currentDirectory);

}  // namespace Quor
