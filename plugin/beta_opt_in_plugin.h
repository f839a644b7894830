#pragma once
// The feature's plugin object: four routes under "/qel-beta-opt-in/v1/",
// the migration decision from the core's command line, the migration job
// with its attempt counter, success flag and telemetry, and the two resource
// events the client's interface listens to.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/plugin_base.h"
#include "logging/expected.h"
#include "remoting/remoting_response.h"

namespace Quor {

class ElevatedLaunchSystem;

namespace BetaOptInPaths {
inline constexpr char needsMigration[] = "/qel-beta-opt-in/v1/needs-migration";
inline constexpr char doMigration[] = "/qel-beta-opt-in/v1/do-migration";
inline constexpr char migrationError[] = "/qel-beta-opt-in/v1/migration-error";
inline constexpr char commandLineArgs[] = "/quorclient/command-line-args";
inline constexpr char attemptsRemaining[] = "/data-store/v1/install-settings/opt-in-migration-attempts-remaining-v3";
inline constexpr char hasMigrated[] = "/data-store/v1/install-settings/opt-in-has-migrated-v2";
inline constexpr char migrateResultTelemetry[] = "/telemetry/v1/events/beta_opt_in_migrate_result";
}  // namespace BetaOptInPaths

inline constexpr char migrationJobName[] = "qel-beta-opt-in.migrate";
inline constexpr std::int32_t storedMigrationErrorCode = 12345;
// The assertion identifiers of the two answers the feature cannot go on
// without: the core's command line and the attempt counter.
inline constexpr char commandLineUnreadable[] = "ALE-F0BB341E";
inline constexpr char attemptCounterUnreadable[] = "ALE-884760E9";

class BetaOptInPlugin : public PluginBase {
 public:
  BetaOptInPlugin() = default;
  // The stored error, then the argument list, then the base.
  ~BetaOptInPlugin() override = default;

  void registerEndpoints() override;

  // ---- The routes --------------------------------------------------------------------
  // The decision; when the core's command line cannot be read, the
  // "ALE-F0BB341E" report is logged and the request answers status 500 with
  // that identifier as its error text (503 "Plugin is stopping", with no
  // report, when the plugin was stopped while the answer was read).
  Expected<bool> needsMigration(RemotingResponse& response);
  // Schedules doMigration as the job "qel-beta-opt-in.migrate", due now.
  void scheduleMigration();
  // The stored error's text form, or nothing (null).
  std::optional<std::string> getMigrationError();
  // Stores errString as the error (code 12345) and publishes it.
  void setMigrationError(const std::string& errString);

  // ---- The migration -------------------------------------------------------------------
  // The job: decides again, marks the migration started, publishes the
  // needs-migration change, counts the attempt, runs the migration, stores
  // and publishes its outcome, records success and sends the telemetry.
  void doMigration();
  // The run in this process: the elevated copy, the local shortcut pass and
  // the uninstaller cleanup (first failure: local, elevated, cleanup).
  virtual Expected<void> runMigration();
  // The run's elevated launch on `system`: its waits go to the core's
  // beginWait, yield and endWait, and it ends early once the plugin stops.
  Expected<void> launchElevated(const std::string& rootDir, ElevatedLaunchSystem& system);
  Expected<void> cleanLegacyUninstallers(std::string_view rootDir);

  // The flag test over the core's command line (fetched once).
  Expected<bool> hasFlag(const std::string& name);

 private:
  // The decision; an error only when the command line cannot be read (the
  // report is logged by then).
  Expected<bool> decideNeedsMigration();
  Expected<std::vector<std::string>> commandLineArguments();
  template <class Data>
  void publishResourceChange(const char* uri, const Data& data);

  // Guards the three fields below; never held while the core is called, so
  // a job and the requests cannot wait on each other through the core.
  std::mutex stateMutex;
  bool migrationStarted = false;
  std::optional<std::vector<std::string>> commandLineArgs;
  Expected<void> lastMigrationResult;
};

}  // namespace Quor
