#pragma once
// Routes: a bound function reachable under a method and a path template,
// and the matching of a request path against an ordered table of them.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "binding/function_description.h"
#include "logging/expected.h"
#include "remoting/path_captures.h"
#include "remoting/path_template.h"
#include "remoting/request_method.h"

namespace Quor {

struct FunctionRegistration;

struct Route {
  const FunctionDescription* function = nullptr;
  const FunctionRegistration* endpoint = nullptr;  // its method filter, binding and parameter locations
  std::string templateText;  // the template the route was made from
  std::string literalPath;   // the template when it has no "{"; empty otherwise
  // Present when the template has a "{": the regular-expression text and the
  // matcher of the same pattern.
  std::optional<std::string> pattern;
  PathMatcher matcher;
  std::vector<PathParameter> parameters;  // one per "{...}" group (and stray "}"), in template order
};

// The routes a request is matched against, in table order.
using RouteTable = std::span<const Route* const>;

// The result of matching one request. The path is the request's, and the
// template the taken route's: both live longer than the match.
struct RouteMatch {
  RequestMethod method = RequestMethod::None;
  std::string customMethod;
  std::string_view path;
  const FunctionDescription* function = nullptr;
  const FunctionRegistration* endpoint = nullptr;
  PathCaptures captures;
  std::string_view templateText;
};

// The route of a registration: its own path template, or the function's
// name when it has none. Every template makes a route (the result stays an
// Expected for the callers' error path).
Expected<Route> makeRoute(const FunctionRegistration& registration);
// The same from a template alone (no function, no registration).
Expected<Route> makeRoute(std::string_view templateText);

// Whether the whole path matches the route. A literal route compares the
// path byte for byte (query included); a pattern route stores each group's
// decoded text under its parameter's name (a later group of the same name
// wins). A stray "}" has no group, so the groups are paired with the
// parameters that have one.
bool matchRoute(const Route& route, std::string_view path, PathCaptures& captures);

// Tries the routes in table order on match.path; a route also has to accept
// match.method (unless ignoreMethod): method None accepts any, otherwise the
// codes and the custom method texts must be equal. Of the routes that pass,
// a later one replaces the one taken only when its decoded captures are
// shorter in total; ties keep the earlier. The taken route's function,
// endpoint, captures and template go into match. False when none passes.
bool matchRequest(RouteMatch& match, RouteTable routes, bool ignoreMethod);

}  // namespace Quor
