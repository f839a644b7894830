#pragma once
// The shortcut migration run, shared by the elevated process and the client
// process.

#include <string_view>

#include "logging/expected.h"
#include "plugin/com_initialization.h"
#include "plugin/migration_stop.h"
#include "plugin/shortcut_folders.h"

namespace Quor {

// On the calling thread: initializes COM (single-threaded apartment; see
// ComInitialization for a thread that is already initialized; any other
// failure ends the run with an error of code 0 naming its HRESULT, before
// anything is walked), resolves the
// shortcut folders of `pass` (shortcut_folders.h; failing with 59 or 60
// before any shortcut is touched), migrates their shortcuts for the
// installation root `rootDir`,
// tells the shell that associations changed whatever the migration
// returned, and ends COM. The result is the migration's.
// `initializeCom` replaces the COM initialization call (tests only); `stop`
// is asked before each shortcut (migrateShortcutFolders).
Expected<void> migrateShortcuts(std::string_view rootDir, ShortcutPass pass, ComInitializer initializeCom = nullptr,
                                const StopRequested& stop = {});

}  // namespace Quor
