#include "remoting/dispatcher.h"

#include <algorithm>
#include <exception>

#include "binding/library_allocator.h"
#include "remoting/dispatch_messages.h"
#include "remoting/function_invocation.h"
#include "remoting/function_registration.h"

namespace Quor {

namespace {

const char builtinTag[] = "$builtin";

// A failure that the dispatcher answers itself: the text is static, so the
// record does not own it.
void answerStatic(HostResponse& hostResponse, const char* message, std::int32_t status) {
  hostResponse.errorMessage = const_cast<char*>(message);
  hostResponse.errorMessageOwned = 0;
  hostResponse.status = status;
}

const FunctionRegistration* registrationOf(const void* endpointContext) {
  const auto* context = static_cast<const EndpointContext*>(endpointContext);
  if (context == nullptr || context->tag != EndpointContext::validTag) return nullptr;
  return context->registration;
}

bool isBuiltin(const FunctionDescription* function) {
  return function != nullptr &&
         std::find(function->tags.begin(), function->tags.end(), builtinTag) != function->tags.end();
}

}  // namespace

std::uint32_t handleRequest(HostResponse* hostResponse, const HostRequest* hostRequest) {
  if (hostResponse == nullptr) return 0;
  // What the core hands in is not the plugin's to free; from here on the
  // record holds only what the plugin put there.
  resetHostResponse(*hostResponse);
  try {
    if (hostRequest == nullptr) {
      answerStatic(*hostResponse, DispatchMessages::invalidFunction, 404);
      return 0;
    }
    const FunctionRegistration* registration = registrationOf(hostRequest->endpointContext);
    const Route* route = registration != nullptr && registration->route ? &*registration->route : nullptr;
    const Route* const table[1] = {route};
    dispatch(nullptr, *hostResponse, *hostRequest, RouteTable(table, route != nullptr ? 1 : 0));
  } catch (const std::exception& error) {
    releaseHostResponse(hostResponse);
    resetHostResponse(*hostResponse);
    hostResponse->errorMessage = libraryDuplicateText(error.what());
    hostResponse->errorMessageOwned = hostResponse->errorMessage != nullptr ? 1 : 0;
    hostResponse->status = 500;
  } catch (...) {
    releaseHostResponse(hostResponse);
    resetHostResponse(*hostResponse);
    answerStatic(*hostResponse, DispatchMessages::unknownException, 500);
  }
  return 0;
}

void dispatch(const BuiltinPath* builtins, HostResponse& hostResponse, const HostRequest& hostRequest,
              RouteTable routes) {
  // The record's earlier content is unknown here; only what the plugin puts
  // in from now on is released through it.
  resetHostResponse(hostResponse);

  RouteMatch match;
  match.method = requestMethodFromCode(hostRequest.method);
  if (match.method == RequestMethod::Custom && hostRequest.customMethod != nullptr) {
    match.customMethod = hostRequest.customMethod;
  }
  if (hostRequest.path != nullptr) match.path = hostRequest.path;

  if (!matchRequest(match, routes, false) || match.function == nullptr || match.endpoint == nullptr) {
    answerStatic(hostResponse, DispatchMessages::invalidFunction, 404);
    return;
  }
  if (builtins != nullptr && builtins->registry != nullptr && builtins->run != nullptr && isBuiltin(match.function)) {
    builtins->run(*builtins->registry, hostResponse, match);
    return;
  }
  // Only a call needs the binding's invoker; a builtin is served by the
  // dispatcher itself.
  if (match.endpoint->invoker == nullptr) {
    answerStatic(hostResponse, DispatchMessages::invalidFunction, 404);
    return;
  }
  invoke(hostResponse, hostRequest, match);
}

}  // namespace Quor
