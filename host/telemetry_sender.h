#pragma once
// Telemetry events, posted to the core as ordinary requests to
// "/telemetry/v1/events/<name>" whose one argument is a flat map of texts.

#include <future>
#include <map>
#include <string>
#include <string_view>

#include "logging/expected.h"

namespace Quor {

class HostBridge;

// Field name -> field value; every value travels as text.
using TelemetryData = std::map<std::string, std::string>;

class TelemetryEventSender {
 public:
  virtual ~TelemetryEventSender() = default;
  virtual std::future<Expected<void>> send(std::string_view eventName, const TelemetryData& data) = 0;
};

class TelemetrySender final : public TelemetryEventSender {
 public:
  explicit TelemetrySender(HostBridge* bridge) : bridge_(bridge) {}

  // POSTs data to "/telemetry/v1/events/" + eventName (appended unchanged).
  // The request is synchronous: the future is ready on return and holds the
  // call's outcome; nothing is retried.
  std::future<Expected<void>> send(std::string_view eventName, const TelemetryData& data) override;

 private:
  HostBridge* bridge_;
};

}  // namespace Quor
