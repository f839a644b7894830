#include "plugin/client_migration_run.h"

#include <utility>

#include "logging/log_record.h"
#include "logging/logger.h"
#include "logging/make_error.h"
#include "plugin/installation_root.h"
#include "plugin/migration_log_texts.h"

namespace Quor {

Expected<void> runClientMigration(const ClientMigrationSteps& steps) {
  const Expected<std::string> current = steps.currentDirectory();
  Expected<std::string> rootDir = current ? installationRoot(*current) : Expected<std::string>(current.error());
  // Every step works inside the root: without one, nothing runs.
  if (!rootDir) {
    log(LogLevel::Error, LogCategory::Dbg, MigrationLogText::migrationRefused, rootDir.error().message.c_str());
    return std::move(rootDir).error();
  }
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
