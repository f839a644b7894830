#pragma once
// Removing a shortcut from the taskbar and Start-menu pins through
// the Start-menu pin object (CLSID_StartMenuPin, IStartMenuPinnedList).
//
// The calling thread must have COM initialized; the objects are created in
// process and released before the routine returns, on every path.

#include <string_view>

#include "logging/expected.h"

namespace Quor {

// Looks up SHCreateItemFromParsingName in the already loaded shell32 module
// (when it is not there, as on older systems, succeeds without doing
// anything), makes a shell item for canonicalLongPath(linkPath) and calls
// RemoveFromList on it. A shortcut that was not pinned gives whatever
// RemoveFromList answers for it.
// Errors: 61 and 62 from canonicalLongPath as they are,
// 56 "SHCreateItemFromParsingName failed for %s" (the canonical long path),
// 57 "CoCreateInstance failed", 58 "RemoveFromList failed".
Expected<void> unpinShortcut(std::string_view linkPath);

}  // namespace Quor
