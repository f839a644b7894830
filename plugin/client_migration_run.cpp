#include "plugin/client_migration_run.h"

#include <utility>

#include "plugin/installation_root.h"

namespace Quor {

Expected<void> runClientMigration(const ClientMigrationSteps& steps) {
  Expected<std::string> rootDir = installationRoot(steps.currentDirectory());
  // Every step works inside the root: without one, nothing runs.
  if (!rootDir) return std::move(rootDir).error();
  Expected<void> elevated = steps.launchElevated(*rootDir);
  Expected<void> local = steps.migrateLocally(*rootDir);
  Expected<void> cleanup = steps.cleanUninstallers(*rootDir);
  if (!local) return local;
  if (!elevated) return elevated;
  return cleanup;
}

}  // namespace Quor
