#pragma once
// One endpoint of a transport: a bound function with its invoker, where it
// is reached (method and path template) and where its parameters may come
// from.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "binding/function_description.h"
#include "remoting/argument_location.h"
#include "remoting/function_invoker.h"
#include "remoting/request_method.h"
#include "remoting/route.h"

namespace Quor {

class Transport;
struct FunctionRegistration;

// The context the core hands back with every request of an endpoint
// (HostRequest::endpointContext).
struct EndpointContext {
  // Tells a context of this library from any other pointer the core might
  // hand back.
  static constexpr std::uint32_t validTag = 0x51435045;  // "EPCQ"
  std::uint32_t tag = validTag;
  Transport* transport = nullptr;
  FunctionRegistration* registration = nullptr;
};

struct FunctionRegistration {
  std::shared_ptr<FunctionDescription> function;
  std::unique_ptr<FunctionInvoker> invoker;
  std::string pathTemplate;
  RequestMethod method = RequestMethod::None;  // None answers every method
  std::string customMethod;                    // compared when method is Custom
  std::uint8_t flag = 0;                       // copied into the endpoint record
  std::vector<std::vector<std::string>> textLists;
  std::vector<ArgumentLocation> parameterLocations;  // one per parameter
  // The route of the current template, made whenever the template or the
  // function changes; absent when the template does not compile.
  std::optional<Route> route;
  EndpointContext context;
  // Open registrations may still change; the transport closes them when it
  // hands its endpoints to the core, whose records point into them.
  bool open = true;

  // The location of parameter index (Any when there is no such entry).
  ArgumentLocation locationOf(std::size_t index) const {
    return index < parameterLocations.size() ? parameterLocations[index] : ArgumentLocation::Any;
  }
  // Makes route from the current template; false (and no route) when the
  // template does not compile.
  bool rebuildRoute();
};

}  // namespace Quor
