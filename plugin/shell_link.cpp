#include "plugin/shell_link.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shobjidl.h>

#include "logging/make_error.h"
#include "plugin/com_holder.h"
#include "plugin/path_utilities.h"
#include "plugin/shell_error_codes.h"
#include "plugin/shell_identifiers.h"

namespace Quor {

namespace {

// A NUL-terminated copy for the A functions of the shell link.
std::string terminated(std::string_view text) { return std::string(text); }

}  // namespace

Expected<ShortcutInfo> readShortcut(std::string_view linkPath) {
  ComHolder<IShellLinkA> link;
  HRESULT result = CoCreateInstance(ShellIdentifiers::shellLinkClass, nullptr, CLSCTX_INPROC_SERVER,
                                    ShellIdentifiers::shellLinkAInterface, link.out());
  if (FAILED(result) || !link) return makeError(ShellErrorCode::readCreateInstance, "CoCreateInstance failed");

  ComHolder<IPersistFile> file;
  result = link->QueryInterface(ShellIdentifiers::persistFileInterface, file.out());
  if (FAILED(result) || !file) return makeError(ShellErrorCode::readQueryInterface, "QueryInterface failed");

  const std::string path = terminated(linkPath);
  wchar_t widePath[maxPathBytes];
  if (!detail::toWidePath(path, widePath, maxPathBytes) || FAILED(file->Load(widePath, STGM_READ))) {
    return makeError(ShellErrorCode::readLoad, "Load failed for %s", path);
  }

  char target[maxPathBytes] = {};
  WIN32_FIND_DATAA findData = {};
  result = link->GetPath(target, sizeof target, &findData, SLGP_SHORTPATH);
  if (FAILED(result)) return makeError(ShellErrorCode::readGetPath, "GetPath failed");
  target[maxPathBytes - 1] = '\0';

  // Their results are ignored: a shortcut without them reads as empty texts.
  char workingDirectory[maxPathBytes] = {};
  (void)link->GetWorkingDirectory(workingDirectory, sizeof workingDirectory);
  workingDirectory[maxPathBytes - 1] = '\0';
  char iconPath[maxPathBytes] = {};
  int iconIndex = 0;
  (void)link->GetIconLocation(iconPath, sizeof iconPath, &iconIndex);
  iconPath[maxPathBytes - 1] = '\0';
  // INFOTIPSIZE: the longest arguments the shell link keeps.
  char arguments[1024] = {};
  (void)link->GetArguments(arguments, sizeof arguments);
  arguments[sizeof arguments - 1] = '\0';

  return ShortcutInfo{target, workingDirectory, iconPath, arguments};
}

Expected<void> writeShortcut(std::string_view linkPath, const ShortcutInfo& info) {
  ComHolder<IShellLinkA> link;
  HRESULT result = CoCreateInstance(ShellIdentifiers::shellLinkClass, nullptr, CLSCTX_INPROC_SERVER,
                                    ShellIdentifiers::shellLinkAInterface, link.out());
  if (FAILED(result) || !link) return makeError(ShellErrorCode::writeCreateInstance, "CoCreateInstance failed");

  if (FAILED(link->SetPath(info.target.c_str()))) {
    return makeError(ShellErrorCode::writeSetPath, "SetPath failed for %s", info.target);
  }
  if (FAILED(link->SetWorkingDirectory(info.workingDirectory.c_str()))) {
    return makeError(ShellErrorCode::writeSetWorkingDirectory, "SetWorkingDirectory failed for %s",
                     info.workingDirectory);
  }
  if (FAILED(link->SetIconLocation(info.iconPath.c_str(), 0))) {
    return makeError(ShellErrorCode::writeSetIconLocation, "SetIconLocation failed for %s", info.iconPath);
  }

  ComHolder<IPersistFile> file;
  result = link->QueryInterface(ShellIdentifiers::persistFileInterface, file.out());
  if (FAILED(result) || !file) return makeError(ShellErrorCode::writeQueryInterface, "QueryInterface failed");

  const std::string path = terminated(linkPath);
  wchar_t widePath[maxPathBytes];
  if (!detail::toWidePath(path, widePath, maxPathBytes) || FAILED(file->Save(widePath, TRUE))) {
    return makeError(ShellErrorCode::writeSave, "Save failed for %s", path);
  }
  return {};
}

}  // namespace Quor
