#pragma once
// Removing the uninstaller files that the alpha client left in the
// installation root.

#include <string_view>

#include "logging/expected.h"
#include "plugin/migration_stop.h"

namespace Quor {

// Every entry of the installation root `rootDir` (installationRoot: the
// same root the shortcut passes are given)
// matching "Uninstall Tessaryn client alpha*.*" (the system's wildcards; no
// subfolders are searched) is removed, read-only ones included. Each entry
// that cannot be removed (held open without delete sharing, a folder) is
// logged as "Failed to remove: <path>" while the others are still removed,
// and the result is then the error "Failed to remove one or more uninstaller
// files." (code 0). Nothing to remove, or a root that cannot be searched, is
// success. `stop` is asked before each file; once it answers true the
// cleanup ends (a failure so far still counts, else migrationStoppedMessage).
Expected<void> cleanLegacyUninstallers(std::string_view rootDir, const StopRequested& stop = {});

}  // namespace Quor
