#pragma once
// Telling the shell (Explorer, the taskbar) what the migration changed, so it
// drops cached icons and pins at once.

#include <string_view>

namespace Quor {

// A shortcut file was deleted: SHChangeNotify(SHCNE_DELETE) with the path,
// flushed without waiting for the shell to process it.
void notifyShortcutDeleted(std::string_view path);

// Shortcuts and file associations changed: SHChangeNotify(SHCNE_ASSOCCHANGED),
// flushed without waiting.
void notifyAssociationsChanged();

}  // namespace Quor
