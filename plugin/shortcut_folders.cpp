#include "plugin/shortcut_folders.h"

#include <windows.h>
#include <shlobj.h>

#include "logging/make_error.h"
#include "plugin/migration_codes.h"
#include "plugin/path_utilities.h"

namespace Quor {

namespace {

// The folder's current path; nothing when the lookup fails.
bool folderPath(int csidl, std::string& path) {
  char buffer[maxPathBytes] = {};
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) return false;
  buffer[maxPathBytes - 1] = '\0';
  path = buffer;
  return true;
}

}  // namespace

Expected<std::vector<std::string>> shortcutFolders() {
  std::vector<std::string> folders;
  for (const int csidl : {CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
    std::string path;
    if (!folderPath(csidl, path)) return makeError(MigrationErrorCode::shellFolder, "SHGetFolderPath failed");
    folders.push_back(std::move(path));
  }
  std::string applicationData;
  if (!folderPath(CSIDL_APPDATA, applicationData)) {
    return makeError(MigrationErrorCode::applicationDataFolder, "SHGetFolderPath failed");
  }
  folders.push_back(applicationData + "\\Microsoft\\Internet Explorer\\Quick Launch");
  return folders;
}

}  // namespace Quor
