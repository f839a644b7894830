#include "remoting/route.h"

#include <array>

#include "remoting/function_registration.h"
#include "remoting/url_decode.h"

namespace Quor {

namespace {

Expected<Route> routeFromTemplate(std::string_view templateText) {
  Route route;
  route.templateText = std::string(templateText);
  if (templateText.find('{') == std::string_view::npos) {
    route.literalPath = route.templateText;
    return route;
  }
  // Every compiled pattern is a valid regular expression (literal text
  // escaped, three fixed group forms), and the matcher captures what the
  // expression would, so no expression engine is involved.
  CompiledTemplate compiled = compileTemplate(templateText);
  route.pattern = std::move(compiled.pattern);
  route.matcher = PathMatcher(std::move(compiled.pieces));
  route.parameters = std::move(compiled.parameters);
  return route;
}

bool acceptsMethod(const Route& route, const RouteMatch& match) {
  if (route.endpoint == nullptr || route.endpoint->method == RequestMethod::None) return true;
  return route.endpoint->method == match.method && route.endpoint->customMethod == match.customMethod;
}

std::size_t totalLength(const PathCaptures& captures) {
  std::size_t total = 0;
  for (const auto& [name, value] : captures) total += value.size();
  return total;
}

}  // namespace

Expected<Route> makeRoute(std::string_view templateText) { return routeFromTemplate(templateText); }

Expected<Route> makeRoute(const FunctionRegistration& registration) {
  std::string_view templateText = registration.pathTemplate;
  if (templateText.empty() && registration.function != nullptr) templateText = registration.function->name;
  Expected<Route> route = routeFromTemplate(templateText);
  if (route) {
    route->function = registration.function.get();
    route->endpoint = &registration;
  }
  return route;
}

bool matchRoute(const Route& route, std::string_view path, PathCaptures& captures) {
  captures.clear();
  if (!route.pattern) return path == route.literalPath;
  // Templates have a few groups: their views stay on the stack.
  std::array<std::string_view, 8> inlineGroups;
  std::vector<std::string_view> heapGroups;
  std::span<std::string_view> groups(inlineGroups.data(), route.matcher.groupCount());
  if (groups.size() > inlineGroups.size()) {
    heapGroups.resize(groups.size());
    groups = heapGroups;
  }
  if (!route.matcher.match(path, groups)) return false;
  captures.reserve(groups.size());
  std::size_t group = 0;
  for (const PathParameter& parameter : route.parameters) {
    if (parameter.kind == PathParameterKind::Stray) continue;
    if (group >= groups.size()) break;
    captures.insert_or_assign(parameter.name, urlDecode(groups[group]));
    ++group;
  }
  return true;
}

bool matchRequest(RouteMatch& match, RouteTable routes, bool ignoreMethod) {
  const Route* taken = nullptr;
  std::size_t takenTotal = 0;
  PathCaptures takenCaptures;
  PathCaptures captures;
  for (const Route* route : routes) {
    if (route == nullptr) continue;
    if (!matchRoute(*route, match.path, captures)) continue;
    if (!ignoreMethod && !acceptsMethod(*route, match)) continue;
    const std::size_t total = totalLength(captures);
    if (taken != nullptr && total >= takenTotal) continue;
    taken = route;
    takenTotal = total;
    takenCaptures.swap(captures);
  }
  if (taken == nullptr) return false;
  match.function = taken->function;
  match.endpoint = taken->endpoint;
  match.captures = std::move(takenCaptures);
  match.templateText = taken->templateText;
  return true;
}

}  // namespace Quor
