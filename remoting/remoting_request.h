#pragma once
// The in-process view of a request, handed to a bound function that asks
// for it.

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/static_type.h"
#include "binding/value.h"
#include "remoting/request_method.h"

namespace Quor {

struct RemotingRequest {
  std::uint32_t requestId = 0;
  std::string reservedText;
  std::uint32_t reservedNumber = 0;
  void* owner = nullptr;  // the transport that serves the endpoint
  // Time of dispatch in 100-nanosecond ticks since 1970-01-01 UTC.
  std::int64_t receivedAt = 0;
  RequestMethod method = RequestMethod::None;
  std::string customMethod;  // only for RequestMethod::Custom
  std::string path;          // as received, query included
  std::vector<Value> arguments;  // one bound value per parameter
  std::shared_ptr<void> sharedContext;
  std::unordered_map<std::string, std::string> headers;  // names as received
  std::unordered_map<std::string, std::string> extraMap;
  std::string extraText;
  std::uint32_t version = 1;
};

}  // namespace Quor

QUOR_STATIC_TYPE(Quor::RemotingRequest, "struct Quor::RemotingRequest");
