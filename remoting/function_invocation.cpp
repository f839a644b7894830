#include "remoting/function_invocation.h"

#include <chrono>
#include <exception>
#include <ratio>

#include "remoting/argument_binding.h"
#include "remoting/dispatch_messages.h"
#include "remoting/function_registration.h"
#include "remoting/query_string.h"
#include "remoting/remoting_request.h"
#include "remoting/remoting_response.h"

namespace Quor {

namespace {

// Releases a prepared token however the call ends.
class PreparedArguments {
 public:
  explicit PreparedArguments(FunctionInvoker& invoker) : invoker_(invoker) {}
  ~PreparedArguments() {
    if (token != 0) invoker_.release(token);
  }
  PreparedArguments(const PreparedArguments&) = delete;
  PreparedArguments& operator=(const PreparedArguments&) = delete;

  std::uint32_t token = 0;

 private:
  FunctionInvoker& invoker_;
};

void fillRequest(RemotingRequest& request, const HostRequest& hostRequest, const RouteMatch& match,
                 const FunctionRegistration& registration) {
  request.requestId = hostRequest.requestId;
  request.owner = registration.context.transport != nullptr
                      ? static_cast<void*>(registration.context.transport)
                      : const_cast<TypeRegistry*>(registration.function->owner);
  request.receivedAt = ticksSinceUnixEpoch();
  request.method = match.method;
  request.customMethod = match.customMethod;
  request.path = match.path;
  if (hostRequest.headers == nullptr) return;
  for (std::uint32_t index = 0; index < hostRequest.headerCount; ++index) {
    const HostHeader& header = hostRequest.headers[index];
    if (header.name == nullptr) continue;
    request.headers.insert_or_assign(header.name, header.value != nullptr ? header.value : "");
  }
}

}  // namespace

std::int64_t ticksSinceUnixEpoch() {
  using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>;
  return std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch()).count();
}

void invoke(HostResponse& hostResponse, const HostRequest& hostRequest, const RouteMatch& match) {
  const FunctionRegistration& registration = *match.endpoint;
  const FunctionDescription& function = *match.function;
  FunctionInvoker& invoker = *registration.invoker;

  RemotingResponse response;
  RemotingRequest request;
  PreparedArguments prepared(invoker);
  try {
    ArgumentBinding binding(function, registration, request.arguments, response);
    binding.bindHeaders(hostRequest.headers, hostRequest.headerCount);
    binding.bindTexts(match.captures, ArgumentLocation::Path);
    if (response.result.ok()) {
      // Most queries need neither decoding nor ordering: bound from views.
      PlainQuery plain;
      if (plain.read(match.path)) {
        binding.bindTexts(plain.pairs(), ArgumentLocation::Query);
      } else {
        binding.bindTexts(parseQuery(match.path), ArgumentLocation::Query);
      }
    }
    binding.bindTypedArguments(hostRequest.arguments, hostRequest.argumentCount, match.captures.size());
    binding.bindBody(hostRequest);

    if (response.result.ok()) prepared.token = invoker.prepare(response, request.arguments, hostRequest.requestId);
    if (response.result.ok()) {
      if (takesRemotingRequest(invoker.requestType())) {
        fillRequest(request, hostRequest, match, registration);
        invoker.invoke(response, &request, prepared.token, hostRequest.requestId);
      } else {
        invoker.invoke(response, nullptr, prepared.token, hostRequest.requestId);
      }
    }
  } catch (const std::exception& error) {
    response.setError(error.what());
    response.status = 500;
  } catch (...) {
    response.setError(DispatchMessages::unknownException);
    response.status = 500;
  }
  fillHostResponse(hostResponse, response, function.owner);
}

}  // namespace Quor
