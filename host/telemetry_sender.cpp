#include "host/telemetry_sender.h"

#include "host/host_bridge.h"

namespace Quor {

std::future<Expected<void>> TelemetrySender::send(std::string_view eventName, const TelemetryData& data) {
  std::promise<Expected<void>> promise;
  std::future<Expected<void>> future = promise.get_future();
  const std::string path = "/telemetry/v1/events/" + std::string(eventName);
  promise.set_value(bridge_->call<void>(RequestMethod::Post, path, data));
  return future;
}

}  // namespace Quor
