#include <windows.h>

#include "demo/pe_exports.h"

namespace Quor::Demo {

LoadedModule loadModule(const std::string& path) {
  LoadedModule loaded;
  loaded.handle = LoadLibraryA(path.c_str());
  if (loaded.handle == nullptr) loaded.error = "LoadLibraryA failed with error " + std::to_string(GetLastError());
  return loaded;
}

std::vector<std::string> exportedNames(void* module) {
  std::vector<std::string> names;
  const auto* base = static_cast<const unsigned char*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (directory.VirtualAddress == 0 || directory.Size == 0) return names;
  const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
  const auto* nameOffsets = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  for (DWORD index = 0; index < exports->NumberOfNames; ++index) {
    names.emplace_back(reinterpret_cast<const char*>(base + nameOffsets[index]));
  }
  return names;
}

void unloadModule(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }

}  // namespace Quor::Demo
