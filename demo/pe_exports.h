#pragma once
// Names exported by a loaded module, read from its PE export directory.

#include <string>
#include <vector>

namespace Quor::Demo {

struct LoadedModule {
  void* handle = nullptr;
  std::string error;  // empty when loaded
};

LoadedModule loadModule(const std::string& path);
std::vector<std::string> exportedNames(void* module);
void unloadModule(void* module);

}  // namespace Quor::Demo
