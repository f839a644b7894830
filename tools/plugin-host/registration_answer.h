#pragma once
// Reading the plugin's registration answer as the core does: the endpoint
// array (found by method and path for each request) and the type and event
// descriptions, which describe prints as JSON.

#include <cstdint>
#include <string>
#include <string_view>

#include "remoting/host_endpoint.h"

namespace PluginHost {

// The endpoint serving the request: the first whose method accepts it
// (method 0 accepts any) and whose path template matches the whole path,
// query included; among several, the one whose parameters took the fewest
// characters. When no template matches the whole path, the path without its
// query is tried. Null when none matches.
const Quor::HostEndpoint* findEndpoint(const Quor::HostRegistrationAnswer& answer, std::uint32_t method,
                                       std::string_view path);

// The whole answer as compact JSON: {"endpoints":[...],"types":[...],"events":[...]}.
std::string describeRegistration(const Quor::HostRegistrationAnswer& answer);

}  // namespace PluginHost
