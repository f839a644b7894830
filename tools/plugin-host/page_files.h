#pragma once
// The HTTP front's page (page/ in the source tree), built into the program.

#include <span>
#include <string_view>

namespace PluginHost {

struct PageFile {
  std::string_view name;  // "index.html", "page.css", "page.js"
  std::string_view text;
};

std::span<const PageFile> pageFiles();

}  // namespace PluginHost
