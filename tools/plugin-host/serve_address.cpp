#include "serve_address.h"

#include <algorithm>
#include <charconv>
#include <cctype>

namespace PluginHost {
namespace {

constexpr const char* wrongAddress =
    ": expected [ADDRESS:]PORT with a loopback ADDRESS (127.x.y.z or [::1]) and PORT 0 to 65535";

bool parseNumber(std::string_view text, unsigned limit, unsigned& number) {
  if (text.empty() || text.size() > 5) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  return error == std::errc{} && end == text.data() + text.size() && number <= limit;
}

// Four dotted numbers, each 0 to 255, the first 127.
bool isLoopbackIPv4(std::string_view text) {
  unsigned part = 0;
  for (int index = 0; index < 4; ++index) {
    const std::size_t dot = index < 3 ? text.find('.') : text.size();
    if (dot == std::string_view::npos || !parseNumber(text.substr(0, dot), 255, part)) return false;
    if (index == 0 && part != 127) return false;
    text.remove_prefix(std::min(dot + 1, text.size()));
  }
  return true;
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
    } else if (isLoopbackIPv4(host)) {
      address.host = std::string(host);
    } else {
      return Failure{"--serve " + std::string(text) + wrongAddress};
    }
  }
  unsigned port = 0;
  if (!parseNumber(portText, 65535, port)) return Failure{"--serve " + std::string(text) + wrongAddress};
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

bool isOwnRequest(const ServeAddress& address, std::string_view host, const std::string* origin) {
  bool hostAccepted = false;
  bool originAccepted = origin == nullptr;
  for (const std::string& accepted : acceptedHosts(address)) {
    hostAccepted = hostAccepted || equalsIgnoringCase(host, accepted);
    originAccepted = originAccepted || equalsIgnoringCase(*origin, "http://" + accepted);
  }
  return hostAccepted && originAccepted;
}

}  // namespace PluginHost
