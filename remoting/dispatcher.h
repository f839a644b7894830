#pragma once
// The request entry point of every endpoint and the dispatcher behind it.

#include <cstdint>

#include "remoting/host_request.h"
#include "remoting/host_response.h"
#include "remoting/route.h"

namespace Quor {

class TypeRegistry;

// Serves functions tagged "$builtin" from a registry instead of invoking
// them.
struct BuiltinPath {
  const TypeRegistry* registry = nullptr;
  void (*run)(const TypeRegistry& registry, HostResponse& hostResponse, const RouteMatch& match) = nullptr;
};

// The handler of every endpoint record. Finds the endpoint through the
// request's endpoint context and dispatches the request against its route.
// A context that is not one of this library's answers "Invalid function".
// Nothing escapes to the core: a failure of the standard library is answered
// with its text and status 500. Answers 0; the outcome is in hostResponse.
std::uint32_t handleRequest(HostResponse* hostResponse, const HostRequest* hostRequest);

// Resets hostResponse (all zero, releaseHostResponse as its release
// function; its earlier content is not freed, it is the caller's),
// matches the request against routes (method codes outside 1 to 8 read as
// none; the custom method text counts for method Custom only) and invokes the
// function, or hands it to builtins when given and the function is tagged
// "$builtin". No match answers "Invalid function" with status 404.
void dispatch(const BuiltinPath* builtins, HostResponse& hostResponse, const HostRequest& hostRequest,
              RouteTable routes);

}  // namespace Quor
