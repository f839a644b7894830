#pragma once
// The folders in which Windows keeps a player's shortcuts.

#include <string>
#include <vector>

#include "logging/expected.h"

namespace Quor {

// In this order: all users' desktop, the current user's desktop, all users'
// Start-menu programs, the current user's Start-menu programs, and Quick
// Launch ("<roaming application data>\Microsoft\Internet Explorer\Quick
// Launch", whose "User Pinned" subfolders hold the taskbar and Start-menu
// pins). Each is the folder's current path as SHGetFolderPathA gives it.
// The first failing lookup fails the whole list with "SHGetFolderPath
// failed": code 59 for the first four folders, 60 for the application data.
Expected<std::vector<std::string>> shortcutFolders();

}  // namespace Quor
