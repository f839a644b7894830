#include "plugin/client_migration_run.h"

#include <utility>

#include "plugin/installation_root.h"

namespace Quor {

Expected<void> runClientMigration(const ClientMigrationSteps& steps) {
  Expected<std::string> rootDir = installationRoot(steps.currentDirectory());
  if (!rootDir) {
    // Only what does not depend on the root still runs; its outcome cannot
    // outrank the missing root.
    (void)steps.cleanUninstallers();
    return std::move(rootDir).error();
  }
  Expected<void> elevated = steps.launchElevated(*rootDir);
  Expected<void> local = steps.migrateLocally(*rootDir);
  Expected<void> cleanup = steps.cleanUninstallers();
  if (!local) return local;
  if (!elevated) return elevated;
  return cleanup;
}

}  // namespace Quor
