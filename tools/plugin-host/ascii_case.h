#pragma once
// HTTP header names and tokens compare without regard to ASCII case.

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace PluginHost {

inline std::string asciiLowered(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return result;
}

}  // namespace PluginHost
