#include "serve_address.h"

#include <algorithm>
#include <charconv>
#include <cctype>

namespace PluginHost {
namespace {

constexpr const char* expectedAddress =
    "expected [ADDRESS:]PORT with a loopback ADDRESS (127.x.y.z or [::1]) and PORT 0 to 65535";

Failure wrongAddress(std::string_view text, const std::string& problem = {}) {
  return Failure{"--serve " + std::string(text) + ": " + (problem.empty() ? "" : problem + "; ") + expectedAddress};
}

bool parseNumber(std::string_view text, unsigned limit, unsigned& number) {
  if (text.empty() || text.size() > 5) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  return error == std::errc{} && end == text.data() + text.size() && number <= limit;
}

// What is wrong with an address meant as four dotted numbers, each 0 to 255,
// the first 127; empty when nothing is.
std::string loopbackIPv4Problem(std::string_view text) {
  for (int index = 0; index < 4; ++index) {
    const std::size_t dot = index < 3 ? text.find('.') : text.size();
    if (dot == std::string_view::npos) return "the address has fewer than four parts";
    const std::string part(text.substr(0, dot));
    unsigned number = 0;
    if (part.size() > 1 && part[0] == '0') {
      return "the address part " + part + " has a leading zero, which the system reads as an octal number";
    }
    if (!parseNumber(part, 255, number)) return "the address part \"" + part + "\" is not a number from 0 to 255";
    if (index == 0 && number != 127) return "the address is not a loopback address";
    text.remove_prefix(std::min(dot + 1, text.size()));
  }
  return {};
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

Outcome<ServeAddress> parseServeAddress(std::string_view text) {
  ServeAddress address;
  std::string_view portText = text;
  const std::size_t colon = text.rfind(':');
  if (colon != std::string_view::npos) {
    const std::string_view host = text.substr(0, colon);
    portText = text.substr(colon + 1);
    if (host == "[::1]") {
      address.host = "::1";
    } else if (const std::string problem = loopbackIPv4Problem(host); problem.empty()) {
      address.host = std::string(host);
    } else {
      return wrongAddress(text, problem);
    }
  }
  unsigned port = 0;
  if (!parseNumber(portText, 65535, port)) return wrongAddress(text);
  address.port = static_cast<std::uint16_t>(port);
  return address;
}

std::string authority(const ServeAddress& address) {
  const std::string host = address.host.find(':') != std::string::npos ? '[' + address.host + ']' : address.host;
  return host + ':' + std::to_string(address.port);
}

std::vector<std::string> acceptedHosts(const ServeAddress& address) {
  return {authority(address), "localhost:" + std::to_string(address.port)};
}

std::optional<std::string> foreignRequestReason(const ServeAddress& address, std::string_view host,
                                                const std::string* origin, const std::string* fetchSite) {
  bool hostAccepted = false;
  bool originAccepted = origin == nullptr;
  for (const std::string& accepted : acceptedHosts(address)) {
    hostAccepted = hostAccepted || equalsIgnoringCase(host, accepted);
    originAccepted = originAccepted || equalsIgnoringCase(*origin, "http://" + accepted);
  }
  const std::string names = acceptedHosts(address).front() + " or " + acceptedHosts(address).back();
  if (!hostAccepted) return "the request's Host must be this server's address, " + names;
  if (!originAccepted) return "the request comes from a page of another site (Origin " + *origin + ")";
  if (fetchSite != nullptr && *fetchSite != "same-origin" && *fetchSite != "none") {
    return "the browser sent the request for a page of another site (Sec-Fetch-Site " + *fetchSite + ")";
  }
  return std::nullopt;
}

}  // namespace PluginHost
