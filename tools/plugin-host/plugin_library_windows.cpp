#include <windows.h>

#include "ansi_text.h"
#include "plugin_library.h"

namespace PluginHost {
namespace {

std::string systemErrorText(DWORD code) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = length != 0 ? std::string(buffer, length) : std::string();
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.')) {
    text.pop_back();
  }
  return (text.empty() ? "system error" : text) + " (error " + std::to_string(code) + ")";
}

}  // namespace

Outcome<PluginLibrary> loadPluginLibrary(const std::string& path) {
  PluginLibrary library;
  library.path = path;
  // By its full path in UTF-16, as the core loads plugins: the ANSI code
  // page need not hold the folder's name.
  HMODULE module = LoadLibraryW(ToolText::utf8ToWide(path).c_str());
  if (module == nullptr) return Failure{"LoadLibraryW(\"" + path + "\") failed: " + systemErrorText(GetLastError())};
  FARPROC loader = GetProcAddress(module, pluginLoaderName);
  if (loader == nullptr) {
    const DWORD error = GetLastError();
    FreeLibrary(module);
    return Failure{"GetProcAddress(\"" + path + "\", \"" + pluginLoaderName + "\") failed: " + systemErrorText(error)};
  }
  library.module = module;
  library.loader = reinterpret_cast<Quor::PluginLoaderEntry>(reinterpret_cast<void*>(loader));
  return library;
}

void freePluginLibrary(PluginLibrary& library) {
  if (library.module != nullptr) FreeLibrary(static_cast<HMODULE>(library.module));
  library.module = nullptr;
  library.loader = nullptr;
}

std::string defaultPluginPath(const std::string& name) {
  std::wstring folder(MAX_PATH, L'\0');
  while (true) {
    const DWORD length = GetModuleFileNameW(nullptr, folder.data(), static_cast<DWORD>(folder.size()));
    if (length == 0) {
      folder.clear();
      break;
    }
    if (length < folder.size()) {
      folder.resize(length);
      break;
    }
    folder.resize(folder.size() * 2);
  }
  const std::size_t separator = folder.find_last_of(L"\\/");
  const std::string utf8 = separator == std::wstring::npos ? std::string(".")
                                                           : ToolText::wideToUtf8(folder.substr(0, separator));
  return utf8 + "\\Plugins\\" + name + "\\" + name + ".dll";
}

}  // namespace PluginHost
