#include "plugin/shell_notifications.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

namespace Quor {

void notifyShortcutDeleted(std::string_view path) {
  const std::string terminated(path);
  SHChangeNotify(SHCNE_DELETE, SHCNF_PATHA | SHCNF_FLUSH | SHCNF_FLUSHNOWAIT, terminated.c_str(), nullptr);
}

void notifyAssociationsChanged() {
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST | SHCNF_FLUSH | SHCNF_FLUSHNOWAIT, nullptr, nullptr);
}

}  // namespace Quor
