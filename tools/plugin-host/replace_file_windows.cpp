#include <windows.h>

#include <cstdio>

#include "ansi_text.h"
#include "install_settings_store.h"

namespace PluginHost {
namespace {

std::string lastErrorText(const char* what, const std::string& path) {
  return std::string(what) + ' ' + path + " failed (system error " + std::to_string(GetLastError()) + ")";
}

}  // namespace

Outcome<Done> replaceFileAtomically(const std::string& path, const std::string& text) {
  // UTF-8 paths, used in full.
  const std::string temporary = path + ".tmp";
  const std::wstring wideTemporary = ToolText::utf8ToWide(temporary);
  HANDLE file =
      CreateFileW(wideTemporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Failure{lastErrorText("creating", temporary)};
  DWORD written = 0;
  const BOOL wrote = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                     written == text.size() && FlushFileBuffers(file);
  const std::string writeError = wrote ? std::string() : lastErrorText("writing", temporary);
  CloseHandle(file);
  if (!wrote) {
    DeleteFileW(wideTemporary.c_str());
    return Failure{writeError};
  }
  if (!MoveFileExW(wideTemporary.c_str(), ToolText::utf8ToWide(path).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const std::string moveError = lastErrorText("replacing", path);
    DeleteFileW(wideTemporary.c_str());
    return Failure{moveError};
  }
  return Done{};
}

}  // namespace PluginHost
