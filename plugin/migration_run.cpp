#include "plugin/migration_run.h"

#include <string>
#include <vector>

#include "plugin/com_initialization.h"
#include "plugin/legacy_shortcut_rules.h"
#include "plugin/shell_notifications.h"
#include "plugin/shortcut_folders.h"
#include "plugin/shortcut_migration.h"

namespace Quor {

Expected<void> migrateShortcuts(std::string_view rootDir) {
  const ComInitialization com;
  const LegacyShortcutRules rules = legacyShortcutRules();
  Expected<std::vector<std::string>> folders = shortcutFolders();
  if (!folders) return std::move(folders).error();
  Expected<void> migrated = migrateShortcutFolders(rules, *folders, rootDir);
  notifyAssociationsChanged();
  return migrated;
}

}  // namespace Quor
