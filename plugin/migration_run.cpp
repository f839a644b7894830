#include "plugin/migration_run.h"

#include <string>
#include <vector>

#include "logging/make_error.h"
#include "plugin/com_initialization.h"
#include "plugin/legacy_shortcut_rules.h"
#include "plugin/shell_notifications.h"
#include "plugin/shortcut_folders.h"
#include "plugin/shortcut_migration.h"

namespace Quor {

Expected<void> migrateShortcuts(std::string_view rootDir, ShortcutPass pass, ComInitializer initializeCom,
                                const StopRequested& stop) {
  const ComInitialization com(initializeCom);
  // Without COM no shortcut can be read: a run that looked at none is not
  // a success.
  if (!com.usable()) {
    return makeError(0, "COM could not be initialized for the shortcut migration (HRESULT 0x%08X).",
                     static_cast<std::uint32_t>(com.result()));
  }
  const LegacyShortcutRules rules = legacyShortcutRules();
  Expected<std::vector<std::string>> folders = shortcutFolders(pass);
  if (!folders) return std::move(folders).error();
  Expected<void> migrated = migrateShortcutFolders(rules, *folders, rootDir, stop);
  notifyAssociationsChanged();
  return migrated;
}

}  // namespace Quor
