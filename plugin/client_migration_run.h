#pragma once
// The migration run inside the client process: the elevated copy, the same
// shortcut pass in this process, and the uninstaller cleanup.

#include <functional>
#include <string>
#include <string_view>

#include "logging/expected.h"
#include "plugin/migration_stop.h"

namespace Quor {

// The run's steps; BetaOptInPlugin puts in the real ones, tests their own.
struct ClientMigrationSteps {
  // Fails for a current directory the ANSI code page cannot carry.
  std::function<Expected<std::string>()> currentDirectory;
  std::function<Expected<void>(const std::string& rootDir)> launchElevated;
  std::function<Expected<void>(std::string_view rootDir)> migrateLocally;
  std::function<Expected<void>(const std::string& rootDir)> cleanUninstallers;
  // Asked between the steps (the steps ask it inside themselves too).
  StopRequested stop;
};

// rootDir = installationRoot(currentDirectory()); then the elevated launch,
// the local pass and the cleanup, each whatever the others returned. The
// outcome is the first failure in the order local, elevated, cleanup.
// When no installation root can be found (the current directory refused
// included) nothing is started, walked or removed, and the root's error is
// the outcome, logged at ERROR. Once `stop` answers true no
// further step starts and the outcome is migrationStoppedMessage.
Expected<void> runClientMigration(const ClientMigrationSteps& steps);

}  // namespace Quor
