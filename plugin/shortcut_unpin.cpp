#include "plugin/shortcut_unpin.h"

#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>

#include <string>

#include "logging/make_error.h"
#include "plugin/com_holder.h"
#include "plugin/path_utilities.h"
#include "plugin/shell_error_codes.h"
#include "plugin/shell_identifiers.h"

namespace Quor {

namespace {

using CreateItemFromParsingName = HRESULT(WINAPI*)(PCWSTR path, IBindCtx* bindContext, REFIID interfaceId,
                                                   void** item);

// SHCreateItemFromParsingName of the loaded shell32, or null.
CreateItemFromParsingName findCreateItemFromParsingName() {
  const HMODULE shell32 = GetModuleHandleA("shell32");
  if (shell32 == nullptr) return nullptr;
  return reinterpret_cast<CreateItemFromParsingName>(
      reinterpret_cast<void*>(GetProcAddress(shell32, "SHCreateItemFromParsingName")));
}

}  // namespace

Expected<void> unpinShortcut(std::string_view linkPath) {
  const CreateItemFromParsingName createItem = findCreateItemFromParsingName();
  if (createItem == nullptr) return {};

  Expected<std::string> path = canonicalLongPath(linkPath);
  if (!path) return std::move(path).error();

  ComHolder<IShellItem> item;
  wchar_t widePath[maxPathBytes];
  if (!detail::toWidePath(*path, widePath, maxPathBytes) ||
      FAILED(createItem(widePath, nullptr, ShellIdentifiers::shellItemInterface, item.out())) || !item) {
    return makeError(ShellErrorCode::unpinCreateItem, "SHCreateItemFromParsingName failed for %s", *path);
  }

  ComHolder<ShellIdentifiers::StartMenuPinnedList> pinnedList;
  const HRESULT created = CoCreateInstance(ShellIdentifiers::startMenuPinClass, nullptr, CLSCTX_INPROC_SERVER,
                                           ShellIdentifiers::startMenuPinnedListInterface, pinnedList.out());
  if (FAILED(created) || !pinnedList) return makeError(ShellErrorCode::unpinCreateInstance, "CoCreateInstance failed");

  if (FAILED(pinnedList->RemoveFromList(item.get()))) {
    return makeError(ShellErrorCode::unpinRemoveFromList, "RemoveFromList failed");
  }
  return {};
}

}  // namespace Quor
