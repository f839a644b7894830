#include "plugin/client_migration_run.h"

#include <utility>

#include "logging/make_error.h"
#include "plugin/installation_root.h"

namespace Quor {

Expected<void> runClientMigration(const ClientMigrationSteps& steps) {
  Expected<std::string> rootDir = installationRoot(steps.currentDirectory());
  // Every step works inside the root: without one, nothing runs.
  if (!rootDir) return std::move(rootDir).error();
  const auto stopped = [&] { return isStopRequested(steps.stop); };
  if (stopped()) return makeError(0, migrationStoppedMessage);
  Expected<void> elevated = steps.launchElevated(*rootDir);
  if (stopped()) return makeError(0, migrationStoppedMessage);
  Expected<void> local = steps.migrateLocally(*rootDir);
  if (stopped()) return makeError(0, migrationStoppedMessage);
  Expected<void> cleanup = steps.cleanUninstallers(*rootDir);
  if (!local) return local;
  if (!elevated) return elevated;
  return cleanup;
}

}  // namespace Quor
