#pragma once
// The log target that hands every accepted record to the core's log
// function, so that the plugin's lines end up in the core's log.

#include <memory>

#include "host/host_records.h"
#include "logging/log_target.h"

namespace Quor {

class PluginLogTarget final : public LogTarget {
 public:
  explicit PluginLogTarget(HostFunctions* functions) : functions_(functions) {}
  ~PluginLogTarget() override;

  // "PluginLogTarget".
  const char* name() const override;
  // The record's level and bare message text go to the core; the format of
  // the settings is kept but not applied.
  bool write(const LogRecord& record) override;

  // Unless a target of that name is registered already: removes the
  // logger's console targets, sets the logger's minimum level to 0 and its
  // excluded categories to XTR, and answers a new target configured with
  // level 0, no category masks and "#D| #L| #G| #M" (which registers it).
  // Answers null when one is registered.
  static std::unique_ptr<PluginLogTarget> install(HostFunctions* functions);

 private:
  HostFunctions* functions_;
};

}  // namespace Quor
