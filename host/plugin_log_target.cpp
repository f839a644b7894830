#include "host/plugin_log_target.h"

#include "logging/logger.h"

namespace Quor {

PluginLogTarget::~PluginLogTarget() {
  // No record may reach the target while it is torn down.
  close();
}

const char* PluginLogTarget::name() const { return "PluginLogTarget"; }

bool PluginLogTarget::write(const LogRecord& record) {
  if (functions_ != nullptr && functions_->log != nullptr) {
    functions_->log(functions_, static_cast<std::uint32_t>(record.level),
                    record.message != nullptr ? record.message : "");
  }
  return true;
}

std::unique_ptr<PluginLogTarget> PluginLogTarget::install(HostFunctions* functions) {
  std::lock_guard lock(loggerLock());
  if (findTarget("PluginLogTarget") != nullptr) return nullptr;
  removeTarget(stdErrTarget());
  removeTarget(stdOutTarget());
  removeTarget(debuggerTarget());
  Quor::setMinimumLevel(LogLevel::Okay);
  setExcludedCategories(LogCategory::Xtr);
  auto target = std::make_unique<PluginLogTarget>(functions);
  LogTargetSettings settings;
  settings.minimumLevel = getMinimumLevel();
  settings.includedCategories = 0;
  settings.excludedCategories = 0;
  settings.format = kDefaultLineFormat;
  target->configure(settings);
  return target;
}

}  // namespace Quor
