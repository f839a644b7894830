#include <algorithm>
#include <cstring>
#include <string>

#include "binding/host_value.h"
#include "formats/json_reader.h"
#include "host/host_bridge.h"
#include "logging/make_error.h"
#include "remoting/host_request.h"
#include "remoting/host_response.h"

namespace Quor {

namespace {

constexpr std::uint32_t streamChunk = 4096;
// The stream's announced size is only a hint: a larger one is not reserved
// up front.
constexpr std::uint32_t maxStreamReserve = 1u << 20;

// Hands the answer record back to the core through its release function, on
// every way out of a call.
class ResponseRelease {
 public:
  explicit ResponseRelease(HostResponse& response) : response_(response) {}
  ResponseRelease(const ResponseRelease&) = delete;
  ResponseRelease& operator=(const ResponseRelease&) = delete;
  ~ResponseRelease() {
    if (streamPending()) response_.streamRelease(response_.stream);
    if (const HostResponseRelease release = response_.release) release(&response_);
  }
  // The stream is being read; its reader releases it.
  void streamTaken() { streamTaken_ = true; }

 private:
  bool streamPending() const { return !streamTaken_ && response_.stream != nullptr && response_.streamRelease != nullptr; }

  HostResponse& response_;
  bool streamTaken_ = false;
};

class StreamRelease {
 public:
  explicit StreamRelease(const HostResponse& response) : response_(response) {}
  StreamRelease(const StreamRelease&) = delete;
  StreamRelease& operator=(const StreamRelease&) = delete;
  ~StreamRelease() {
    if (const HostStreamRelease release = response_.streamRelease) release(response_.stream);
  }

 private:
  const HostResponse& response_;
};

}  // namespace

PluginError hostCallError(std::int32_t code, const char* messageTemplate, RequestMethod method,
                          std::string_view path, std::string_view error) {
  return makeError(code, messageTemplate, std::string(methodName(method)), std::string(path),
                   std::string(error));
}

Expected<Value> HostBridge::sendCall(RequestMethod method, std::string_view path, const Value* argument,
                                     bool wantResult) {
  HostRequestArgument entry;
  std::memset(static_cast<void*>(&entry), 0, sizeof entry);
  const HostValueRelease argumentRelease(entry.value);
  if (argument != nullptr) {
    std::string error;
    if (!valueToHostValue(entry.value, *argument, registry, &error)) {
      return hostCallError(400, HostCallMessages::notSent, method, path, error);
    }
  }

  const std::string pathText(path);
  HostRequest request;
  std::memset(static_cast<void*>(&request), 0, sizeof request);
  request.method = requestMethodCode(method);
  request.path = pathText.c_str();
  if (argument != nullptr) {
    request.arguments = &entry;
    request.argumentCount = 1;
  }
  request.requestId = pluginId;

  HostResponse response;
  std::memset(static_cast<void*>(&response), 0, sizeof response);
  ResponseRelease responseRelease(response);
  sendRequest(&response, &request);

  if (const char* errorMessage = response.errorMessage) {
    return hostCallError(response.status, HostCallMessages::errorResponse, method, path, errorMessage);
  }
  if (!wantResult) return Value();
  if (response.streamRead != nullptr) {
    responseRelease.streamTaken();
    Expected<Value> streamed = readStream(response);
    if (!streamed) {
      return hostCallError(0, HostCallMessages::streamNotRead, method, path, streamed.error().message);
    }
    return streamed;
  }
  Value body;
  std::string error;
  if (!hostValueToValue(body, response.body, HostCallMessages::resultName, &error)) {
    return hostCallError(0, HostCallMessages::responseNotConverted, method, path, error);
  }
  return body;
}

Expected<Value> HostBridge::readStream(const HostResponse& response) {
  const StreamRelease streamRelease(response);
  std::string text;
  const std::uint32_t announced = response.streamSize;  // packed: read by value
  text.reserve(std::min(announced, maxStreamReserve));
  char buffer[streamChunk];
  std::uint8_t more = 1;
  for (;;) {
    std::uint32_t size = streamChunk;
    // A core that claims more bytes than the buffer holds is as broken as
    // one that reports a failed read.
    if (response.streamRead(response.stream, buffer, &size, &more) == 0 || size > streamChunk) {
      PluginError error;
      error.message = HostCallMessages::streamReadError;
      return error;
    }
    text.append(buffer, size);
    if (more == 0) break;
    if (size < streamChunk) waitYield();
    // The core may have stopped the plugin from inside that yield, or on
    // another thread meanwhile: no further read reaches it.
    if (stopRequested()) {
      PluginError error;
      error.message = HostCallMessages::pluginStopping;
      return error;
    }
  }
  ValueResult parsed = parseJson(text.c_str());
  if (!parsed) {
    PluginError error;
    error.message = std::string(parsed.error());
    return error;
  }
  return std::move(parsed.value());
}

}  // namespace Quor
