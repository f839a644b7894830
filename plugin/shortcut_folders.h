#pragma once
// The folders in which Windows keeps a player's shortcuts, and which of them
// each pass walks.

#include <string>
#include <vector>

#include "logging/expected.h"

namespace Quor {

// The elevated copy walks only the all-users folders: in the player's own
// folders a program of the player's, at normal integrity, could swap a
// subfolder for a junction between the decision and the act and have the
// elevated pass delete or write elsewhere. The client's pass, which runs as
// the player anyway, walks all five.
enum class ShortcutPass { Elevated, Client };

// The folders of `pass`, in this order: all users' desktop, the current
// user's desktop (client), all users' Start-menu programs, the current
// user's Start-menu programs (client), and Quick Launch ("<roaming
// application data>\Microsoft\Internet Explorer\Quick Launch", whose "User
// Pinned" subfolders hold the taskbar and Start-menu pins; client). Each is
// the folder's current path as SHGetFolderPathW gives it, in the ANSI code
// page; a folder whose path the code page cannot hold is left out (logged at
// WARN), since its narrow form would name another folder or none.
// The first failing lookup fails the whole list with "SHGetFolderPath
// failed": code 59 for the desktop and Start-menu folders, 60 for the
// application data.
Expected<std::vector<std::string>> shortcutFolders(ShortcutPass pass);

}  // namespace Quor
