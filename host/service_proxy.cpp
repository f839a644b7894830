#include <exception>
#include <string>

#include "binding/format_message.h"
#include "host/host_bridge.h"
#include "logging/logger.h"

namespace Quor {

using Client::AppModule::PluginServiceProxyResponse;

namespace {

std::string methodKey(const PluginServiceProxyResponse& response) {
  return FormatMessage("%1.%2", response.serviceName, response.methodName);
}

}  // namespace

void HostBridge::storeProxyResponse(const std::string& key, const PluginServiceProxyResponse& response) {
  std::lock_guard lock(proxyMutex);
  proxyResponses.insert_or_assign(key, response);
}

void HostBridge::onProxyUuid(const PluginServiceProxyResponse& response) {
  storeProxyResponse(response.uuid, response);
  fulfilProxyRequests();
}

void HostBridge::onProxyMethod(const PluginServiceProxyResponse& response) {
  storeProxyResponse(methodKey(response), response);
  fulfilProxyRequests();
}

void HostBridge::onProxyAsync(const PluginServiceProxyResponse& response) {
  const std::string key = methodKey(response);
  {
    std::lock_guard lock(proxyMutex);
    const auto found = asyncProxyHandlers.find(key);
    if (found != asyncProxyHandlers.end()) {
      if (found->second) found->second(response);
      return;
    }
  }
  log(LogLevel::Error, LogCategory::Dbg, "%s: Could not find registered handler for async service proxy event %s",
      pluginName.c_str(), key.c_str());
}

void HostBridge::fulfilProxyRequests() {
  std::string fulfilled;
  bool any = false;
  {
    std::lock_guard lock(proxyMutex);
    for (auto stored = proxyResponses.begin(); stored != proxyResponses.end(); ++stored) {
      const auto pending = pendingProxyRequests.find(stored->first);
      if (pending == pendingProxyRequests.end()) continue;
      fulfilled = stored->first;
      any = true;
      // Taken out before the completion runs, so a completion that throws
      // cannot leave it to run again.
      ProxyResponseHandler completion = std::move(pending->second);
      const PluginServiceProxyResponse response = std::move(stored->second);
      pendingProxyRequests.erase(pending);
      proxyResponses.erase(stored);
      if (completion) completion(response);
      break;
    }
  }
  if (any) {
    log(LogLevel::Always, LogCategory::Dbg, "%s: Fulfilled service proxy request: %s", pluginName.c_str(),
        fulfilled.c_str());
  }
}

void HostBridge::addPendingProxyRequest(const std::string& key, ProxyResponseHandler completion) {
  {
    std::lock_guard lock(proxyMutex);
    pendingProxyRequests.insert_or_assign(key, std::move(completion));
  }
  fulfilProxyRequests();
}

void HostBridge::addAsyncProxyHandler(const std::string& key, ProxyResponseHandler handler) {
  std::lock_guard lock(proxyMutex);
  asyncProxyHandlers.insert_or_assign(key, std::move(handler));
}

std::size_t HostBridge::storedProxyResponseCount() {
  std::lock_guard lock(proxyMutex);
  return proxyResponses.size();
}

}  // namespace Quor
