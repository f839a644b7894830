#include "preview_source.h"

#include <cstdint>

#include "ansi_text.h"
#include "logging/make_error.h"
#include "plugin/com_initialization.h"
#include "plugin/installation_root.h"
#include "plugin/legacy_shortcut_rules.h"
#include "plugin/legacy_uninstaller_cleanup.h"
#include "plugin/path_utilities.h"
#include "plugin/shortcut_folders.h"

namespace MigrationPreview {

Quor::Expected<Preview> buildPreview(const RootRequest& request) {
  Preview preview;
  std::string rootDir;
  if (request.currentDirectory) {
    preview.foundBy = "current-dir";
    Quor::Expected<std::string> current =
        Quor::narrowPath(ToolText::utf8ToWide(*request.currentDirectory), Quor::currentDirectorySubject);
    if (!current) return std::move(current).error();
    preview.currentDirectory = *current;
    Quor::Expected<std::string> root = Quor::installationRoot(*current);
    if (!root) return std::move(root).error();
    preview.verdict = "accepted";
    rootDir = std::move(*root);
  } else {
    preview.foundBy = "given";
    Quor::Expected<std::string> root =
        Quor::narrowPath(ToolText::utf8ToWide(request.root.value_or("")), "Cannot plan the migration: the root");
    if (!root) return std::move(root).error();
    rootDir = std::move(*root);
  }

  const Quor::ComInitialization com;
  if (!com.usable()) {
    return Quor::makeError(0, "COM could not be initialized (HRESULT 0x%08X).",
                           static_cast<std::uint32_t>(com.result()));
  }
  const Quor::LegacyShortcutRules rules = Quor::legacyShortcutRules();
  // The client's pass walks every folder the elevated pass does, and more.
  Quor::Expected<std::vector<std::string>> folders = Quor::shortcutFolders(Quor::ShortcutPass::Client);
  if (!folders) return std::move(folders).error();
  Quor::Expected<Quor::ShortcutPlan> plan = Quor::planShortcutFolders(rules, *folders, rootDir);
  if (!plan) return std::move(plan).error();
  preview.shortcuts = std::move(*plan);
  preview.uninstallers = Quor::planUninstallerCleanup(rootDir);
  return preview;
}

}  // namespace MigrationPreview
