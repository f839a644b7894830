#pragma once
// Where --serve listens: a loopback address and a port, and the Host and
// Origin texts a request to it may carry (anything else may come from a
// page of another site that the browser lets reach this machine).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "outcome.h"

namespace PluginHost {

struct ServeAddress {
  std::string host = "127.0.0.1";  // as bound: "127.x.y.z" or "::1"
  std::uint16_t port = 0;          // 0: any free port, chosen at bind time
};

// "[ADDRESS:]PORT": ADDRESS is 127.x.y.z (127.0.0.1 when left out) or [::1];
// anything that is not loopback is refused.
Outcome<ServeAddress> parseServeAddress(std::string_view text);

// The address as a URL's authority: "127.0.0.1:8080", "[::1]:8080".
std::string authority(const ServeAddress& address);

// The Host header values a request may carry: the bound authority and
// "localhost" with the same port.
std::vector<std::string> acceptedHosts(const ServeAddress& address);

// True when a request's Host header is one of acceptedHosts and its Origin,
// when it has one, is "http://" and one of them.
bool isOwnRequest(const ServeAddress& address, std::string_view host, const std::string* origin);

}  // namespace PluginHost
