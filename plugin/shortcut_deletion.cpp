#include "plugin/shortcut_deletion.h"

#include <windows.h>

#include <string>

#include "logging/make_error.h"
#include "plugin/migration_codes.h"
#include "plugin/shell_notifications.h"

namespace Quor {

Expected<void> deleteShortcut(std::string_view linkPath) {
  const std::string path(linkPath);
  if (!DeleteFileA(path.c_str())) return makeError(MigrationErrorCode::deleteShortcut, "Failed to delete %s", path);
  notifyShortcutDeleted(path);
  return {};
}

}  // namespace Quor
