#include "plugin/shortcut_folders.h"

#include <windows.h>
#include <shlobj.h>

#include <optional>

#include "logging/log_record.h"
#include "logging/logger.h"
#include "logging/make_error.h"
#include "plugin/ansi_path_form.h"
#include "plugin/migration_codes.h"
#include "plugin/migration_log_texts.h"
#include "plugin/path_utilities.h"

namespace Quor {

namespace {

constexpr char quickLaunch[] = "\\Microsoft\\Internet Explorer\\Quick Launch";

// The folder's current path in full; nothing when the lookup fails.
std::optional<std::wstring> folderPath(int csidl) {
  wchar_t buffer[maxPathBytes] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) return std::nullopt;
  buffer[maxPathBytes - 1] = L'\0';
  return std::wstring(buffer);
}

// Adds `path` + `suffix` when the ANSI code page holds it exactly.
void addFolder(const std::wstring& path, const char* suffix, std::vector<std::string>& folders) {
  const std::optional<std::string> narrow = exactAnsiForm(path);
  if (!narrow || narrow->size() + std::char_traits<char>::length(suffix) >= maxPathBytes) {
    log(LogLevel::Warn, LogCategory::Gen, MigrationLogText::shortcutFolderLeftOut, ansiFormForMessage(path).c_str());
    return;
  }
  folders.push_back(*narrow + suffix);
}

}  // namespace

Expected<std::vector<std::string>> shortcutFolders(ShortcutPass pass) {
  const bool client = pass == ShortcutPass::Client;
  std::vector<std::string> folders;
  for (const int csidl : {CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
    const bool perUser = csidl == CSIDL_DESKTOPDIRECTORY || csidl == CSIDL_PROGRAMS;
    if (perUser && !client) continue;
    const std::optional<std::wstring> path = folderPath(csidl);
    if (!path) return makeError(MigrationErrorCode::shellFolder, "SHGetFolderPath failed");
    addFolder(*path, "", folders);
  }
  if (!client) return folders;
  const std::optional<std::wstring> applicationData = folderPath(CSIDL_APPDATA);
  if (!applicationData) return makeError(MigrationErrorCode::applicationDataFolder, "SHGetFolderPath failed");
  addFolder(*applicationData, quickLaunch, folders);
  return folders;
}

}  // namespace Quor
