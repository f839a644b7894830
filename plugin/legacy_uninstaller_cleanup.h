#pragma once
// Removing the uninstaller files that the alpha client left in the
// installation root.

#include <string>
#include <string_view>
#include <vector>

#include "logging/expected.h"
#include "plugin/migration_stop.h"

namespace Quor {

// The entries of the installation root `rootDir` (installationRoot: the
// same root the shortcut passes are given) matching "Uninstall Tessaryn
// client alpha*.*" (the system's wildcards; no subfolders are searched), by
// full path, in the order the system lists them. A root that cannot be
// searched has none. Reads only.
std::vector<std::string> planUninstallerCleanup(std::string_view rootDir);

// Removes each file of `files`, read-only ones included, logging each removal
// at OKAY. Each one that cannot be removed (held open without delete
// sharing, a folder) is logged as "Failed to remove: <path>" while the others
// are still removed, and the result is then the error "Failed to remove one
// or more uninstaller files." (code 0). A file already gone counts as
// removed. `stop` is asked before each file; once it answers true the
// removal ends (a failure so far still counts, else migrationStoppedMessage).
Expected<void> removeUninstallers(const std::vector<std::string>& files, const StopRequested& stop = {});

// planUninstallerCleanup then removeUninstallers: nothing to remove, or a
// root that cannot be searched, is success.
Expected<void> cleanLegacyUninstallers(std::string_view rootDir, const StopRequested& stop = {});

}  // namespace Quor
