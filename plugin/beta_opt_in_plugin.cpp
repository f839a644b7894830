#include "plugin/beta_opt_in_plugin.h"

#include <chrono>
#include <utility>

#include "binding/typed_conversion.h"
#include "host/host_call_messages.h"
#include "host/plugin_event_records.h"
#include "logging/fatal_error.h"
#include "logging/log_record.h"
#include "logging/logger.h"
#include "logging/make_error.h"
#include "plugin/client_migration_run.h"
#include "plugin/elevated_launch.h"
#include "plugin/elevated_log_forwarding.h"
#include "plugin/legacy_uninstaller_cleanup.h"
#include "plugin/migration_decision.h"
#include "plugin/migration_run.h"
#include "plugin/pass_on_library_thread.h"
#include "plugin/path_utilities.h"

namespace Quor {

namespace {

constexpr char resourceEventBaseName[] = "OnJsonApiEvent";
constexpr char attemptCounterDescription[] = "Failed to get maybeOptInMigrationAttemptsRemaining.";

// The host's cooperative waiting as the elevated launch asks for it.
class HostWaiting final : public CooperativeWaiting {
 public:
  explicit HostWaiting(PluginBase& plugin) : plugin_(plugin) {}
  void beginWait(const char* label, std::uint32_t flags) override { plugin_.beginWait(label, flags); }
  void yield() override { plugin_.yield(); }
  void endWait() override { plugin_.endWait(); }

 private:
  PluginBase& plugin_;
};

}  // namespace

void BetaOptInPlugin::registerEndpoints() {
  transport.addRoute(RequestMethod::Get, BetaOptInPaths::needsMigration, &BetaOptInPlugin::needsMigration, this);
  transport.addRoute(RequestMethod::Post, BetaOptInPaths::doMigration, &BetaOptInPlugin::scheduleMigration, this);
  transport.addRoute(RequestMethod::Get, BetaOptInPaths::migrationError, &BetaOptInPlugin::getMigrationError, this);
  transport.addRoute(RequestMethod::Put, BetaOptInPaths::migrationError, &BetaOptInPlugin::setMigrationError, this)
      .parameter(0, "errString", "");
}

Expected<std::vector<std::string>> BetaOptInPlugin::commandLineArguments() {
  {
    const std::lock_guard lock(stateMutex);
    if (commandLineArgs) return *commandLineArgs;
  }
  Expected<std::vector<std::string>> fetched =
      call<std::vector<std::string>>(RequestMethod::Get, BetaOptInPaths::commandLineArgs);
  if (!fetched) return fetched;
  const std::lock_guard lock(stateMutex);
  // Two threads may both have asked; the first answer is kept.
  if (!commandLineArgs) commandLineArgs = std::move(fetched).value();
  return *commandLineArgs;
}

Expected<bool> BetaOptInPlugin::hasFlag(const std::string& name) {
  Expected<std::vector<std::string>> arguments = commandLineArguments();
  if (!arguments) return std::move(arguments).error();
  return Quor::hasFlag(*arguments, name);
}

Expected<bool> BetaOptInPlugin::decideNeedsMigration() {
  {
    const std::lock_guard lock(stateMutex);
    if (migrationStarted) return false;
  }
  const Expected<std::vector<std::string>> arguments = commandLineArguments();
  // Stopped while the core's answer was read: no answer, and nothing fatal.
  if (!arguments && stopRequested()) return makeError(0, HostCallMessages::pluginStopping);
  if (!arguments) {
    endOperationOnFatalError(commandLineUnreadable, "");
    return makeError(0, commandLineUnreadable);
  }
  const MigrationDecision decision = decideMigration(*arguments);
  if (decision.logLine != nullptr) log(LogLevel::Always, LogCategory::Dbg, "%s", decision.logLine);
  return decision.needed;
}

Expected<bool> BetaOptInPlugin::needsMigration(RemotingResponse& response) {
  Expected<bool> needed = decideNeedsMigration();
  if (!needed) response.status = stopRequested() ? 503 : 500;
  return needed;
}

void BetaOptInPlugin::scheduleMigration() {
  (void)scheduleJob(migrationJobName, [this] { doMigration(); }, std::chrono::steady_clock::now());
}

std::optional<std::string> BetaOptInPlugin::getMigrationError() {
  const std::lock_guard lock(stateMutex);
  if (lastMigrationResult) return std::nullopt;
  return textForm(lastMigrationResult.error());
}

void BetaOptInPlugin::setMigrationError(const std::string& errString) {
  // The text is the message as it came, never a template.
  PluginError error;
  error.message = errString;
  setCode(error, storedMigrationErrorCode);
  {
    const std::lock_guard lock(stateMutex);
    lastMigrationResult = std::move(error);
  }
  publishResourceChange(BetaOptInPaths::migrationError, getMigrationError());
}

template <class Data>
void BetaOptInPlugin::publishResourceChange(const char* uri, const Data& data) {
  ValueResult converted;
  convertToValue(converted, data, typeRegistry());
  if (!converted) return;
  Client::PluginResourceEvent event;
  event.uri = uri;
  event.eventType = Client::PluginResourceEventType::Update;
  event.data = std::move(converted.value());
  (void)publishResourceEvent(resourceEventBaseName, event, 0);
}

void BetaOptInPlugin::doMigration() {
  const Expected<bool> needed = decideNeedsMigration();
  if (!needed || !*needed) return;
  {
    // Another job may have decided the same in the meantime: one run only.
    const std::lock_guard lock(stateMutex);
    if (migrationStarted) return;
    migrationStarted = true;
  }
  // From here on the job asks for a stop before every step that reaches the
  // core: a stopped run writes nothing more, so what the data store holds
  // stays whole (the counter as decremented, no success flag).
  if (stopRequested()) return;
  const Expected<bool> stillNeeded = decideNeedsMigration();
  publishResourceChange(BetaOptInPaths::needsMigration, stillNeeded ? *stillNeeded : false);

  if (stopRequested()) return;
  const Expected<Value> stored = call<Value>(RequestMethod::Get, BetaOptInPaths::attemptsRemaining);
  if (stopRequested()) return;
  if (!stored) {
    endOperationOnFatalError(attemptCounterUnreadable, attemptCounterDescription);
    return;
  }
  const std::uint64_t attemptsRemaining = attemptsRemainingAfterThisRun(*stored);
  (void)call<void>(RequestMethod::Post, BetaOptInPaths::attemptsRemaining, attemptsRemaining);

  if (stopRequested()) return;
  log(LogLevel::Always, LogCategory::Dbg, "Performing opt-in migration.");
  Expected<void> outcome = runMigration();
  // A stopped run has no outcome to report: no event, no telemetry. A run
  // that got to its end before the stop did succeed, though, and the core
  // must know it was done; that is written while a stop on another thread
  // waits for the job (from inside the job's own wait, the core is gone).
  if (stopRequested()) {
    if (outcome && canReachHost()) (void)call<void>(RequestMethod::Post, BetaOptInPaths::hasMigrated, true);
    return;
  }
  {
    const std::lock_guard lock(stateMutex);
    lastMigrationResult = outcome;
  }
  publishResourceChange(BetaOptInPaths::migrationError, getMigrationError());

  std::map<std::string, std::string> telemetry;
  telemetry["attempts_remaining"] = std::to_string(attemptsRemaining);
  if (!outcome) {
    telemetry["succeeded"] = "false";
    const std::string text = textForm(outcome.error());
    telemetry["error"] = text.empty() ? "missing" : text;
  } else {
    (void)call<void>(RequestMethod::Post, BetaOptInPaths::hasMigrated, true);
    telemetry["succeeded"] = "true";
  }
  if (stopRequested()) return;
  (void)call<void>(RequestMethod::Post, BetaOptInPaths::migrateResultTelemetry, telemetry);
}

Expected<void> BetaOptInPlugin::runMigration() {
  const StopRequested stop = [this] { return stopRequested(); };
  const ClientMigrationSteps steps{
      [] { return currentDirectory(); },
      [this, &stop](const std::string& rootDir) {
        // A client folder the launch refuses has no log to read.
        const Expected<std::string> clientFolder = windowsLaunchSystem().executableDirectory();
        return launchForwardingElevatedLog(
            clientFolder ? *clientFolder : std::string(),
            [&] { return launchElevated(rootDir, windowsLaunchSystem()); }, stop);
      },
      [this, &stop](std::string_view rootDir) {
        // On a thread of its own, so that a shell call that hangs cannot hold
        // a stop; it captures the root alone.
        HostWaiting waiting(*this);
        return runPassOnLibraryThread(
            [root = std::string(rootDir)](const StopRequested& passStop) {
              return migrateShortcuts(root, ShortcutPass::Client, nullptr, passStop);
            },
            waiting, stop);
      },
      [this](const std::string& rootDir) { return cleanLegacyUninstallers(rootDir); },
      stop};
  return runClientMigration(steps);
}

Expected<void> BetaOptInPlugin::launchElevated(const std::string& rootDir, ElevatedLaunchSystem& system) {
  HostWaiting waiting(*this);
  return launchElevatedMigration(rootDir, system, waiting, [this] { return stopRequested(); });
}

Expected<void> BetaOptInPlugin::cleanLegacyUninstallers(std::string_view rootDir) {
  return Quor::cleanLegacyUninstallers(rootDir, [this] { return stopRequested(); });
}

}  // namespace Quor
