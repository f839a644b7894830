#pragma once
// What migration-preview finds on this machine: the installation root, how
// it was found, the shortcut plan and the uninstaller files, gathered exactly
// as the migration gathers them and without changing anything.

#include <optional>
#include <string>
#include <vector>

#include "logging/expected.h"
#include "plugin/shortcut_plan.h"

namespace MigrationPreview {

// Where the root comes from: given as it is, or six folders above a client's
// current directory as the client computes it.
struct RootRequest {
  std::optional<std::string> root;
  std::optional<std::string> currentDirectory;
};

struct Preview {
  // "given" or "current-dir", the root the passes would be handed, and the
  // guard's verdict on a current directory ("accepted").
  std::string foundBy;
  std::optional<std::string> currentDirectory;
  std::string verdict;
  Quor::ShortcutPlan shortcuts;
  std::vector<std::string> uninstallers;
};

// Initializes COM as the migration does, resolves the root and the five
// shortcut folders and plans both passes. Fails (with the reason) when the
// root is refused, COM cannot be initialized or a folder cannot be resolved.
Quor::Expected<Preview> buildPreview(const RootRequest& request);

}  // namespace MigrationPreview
