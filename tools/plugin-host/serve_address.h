#pragma once
// Where --serve listens: a loopback address and a port, and the Host and
// Origin texts a request to it may carry (anything else may come from a
// page of another site that the browser lets reach this machine).

#include <cstdint>
#include <optional>
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
// anything that is not loopback is refused, and so is a part written with a
// leading zero, which the system's address reader takes for octal.
Outcome<ServeAddress> parseServeAddress(std::string_view text);

// The address as a URL's authority: "127.0.0.1:8080", "[::1]:8080".
std::string authority(const ServeAddress& address);

// The Host header values a request may carry: the bound authority and
// "localhost" with the same port.
std::vector<std::string> acceptedHosts(const ServeAddress& address);

// Why a request must not reach the server, when it must not: its Host
// header is not one of acceptedHosts, its Origin (when it has one) is not
// "http://" and one of them, or its Sec-Fetch-Site (when it has one) is
// neither "same-origin" nor "none": then a browser sent it for a page of
// another site, which no-cors requests without an Origin are as well.
std::optional<std::string> foreignRequestReason(const ServeAddress& address, std::string_view host,
                                                const std::string* origin, const std::string* fetchSite);

}  // namespace PluginHost
