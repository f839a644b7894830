#include "plugin/shell_link.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shobjidl.h>

#include <iterator>
#include <optional>

#include "logging/make_error.h"
#include "plugin/ansi_path_form.h"
#include "plugin/com_holder.h"
#include "plugin/path_utilities.h"
#include "plugin/shell_error_codes.h"
#include "plugin/shell_identifiers.h"

namespace Quor {

namespace {

// A NUL-terminated copy for the A functions of the shell link.
std::string terminated(std::string_view text) { return std::string(text); }

// `text` in the ANSI code page: exactly, or as far as the code page can show
// it, with `exact` telling which.
std::string narrowed(const wchar_t* text, bool* exact = nullptr) {
  std::optional<std::string> form = exactAnsiForm(text);
  if (exact != nullptr) *exact = form.has_value();
  return form ? std::move(*form) : ansiFormForMessage(text);
}

}  // namespace

Expected<ShortcutInfo> readShortcut(std::string_view linkPath) {
  ComHolder<IShellLinkW> link;
  HRESULT result = CoCreateInstance(ShellIdentifiers::shellLinkClass, nullptr, CLSCTX_INPROC_SERVER,
                                    ShellIdentifiers::shellLinkWInterface, link.out());
  if (FAILED(result) || !link) return makeError(ShellErrorCode::readCreateInstance, "CoCreateInstance failed");

  ComHolder<IPersistFile> file;
  result = link->QueryInterface(ShellIdentifiers::persistFileInterface, file.out());
  if (FAILED(result) || !file) return makeError(ShellErrorCode::readQueryInterface, "QueryInterface failed");

  const std::string path = terminated(linkPath);
  wchar_t widePath[maxPathBytes];
  if (!detail::toWidePath(path, widePath, maxPathBytes) || FAILED(file->Load(widePath, STGM_READ))) {
    return makeError(ShellErrorCode::readLoad, "Load failed for %s", path);
  }

  wchar_t target[maxPathBytes] = {};
  WIN32_FIND_DATAW findData = {};
  result = link->GetPath(target, maxPathBytes, &findData, SLGP_SHORTPATH);
  if (FAILED(result)) return makeError(ShellErrorCode::readGetPath, "GetPath failed");
  target[maxPathBytes - 1] = L'\0';

  // Their results are ignored: a shortcut without them reads as empty texts.
  wchar_t workingDirectory[maxPathBytes] = {};
  (void)link->GetWorkingDirectory(workingDirectory, maxPathBytes);
  workingDirectory[maxPathBytes - 1] = L'\0';
  wchar_t iconPath[maxPathBytes] = {};
  int iconIndex = 0;
  (void)link->GetIconLocation(iconPath, maxPathBytes, &iconIndex);
  iconPath[maxPathBytes - 1] = L'\0';
  // INFOTIPSIZE: the longest arguments the shell link keeps.
  wchar_t arguments[1024] = {};
  (void)link->GetArguments(arguments, static_cast<int>(std::size(arguments)));
  arguments[std::size(arguments) - 1] = L'\0';

  ShortcutInfo info;
  info.target = narrowed(target, &info.targetIsExact);
  info.workingDirectory = narrowed(workingDirectory);
  info.iconPath = narrowed(iconPath);
  info.arguments = narrowed(arguments);
  return info;
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
