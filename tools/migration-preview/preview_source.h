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
// current directory as the client computes it. Both in UTF-8, as the command
// line gave them; a path the ANSI code page cannot hold exactly is refused
// as the client refuses it.
struct RootRequest {
  std::optional<std::string> root;
  std::optional<std::string> currentDirectory;
};

struct Preview {
  // "given" or "current-dir", the current directory (in the ANSI code page),
  // and the guard's verdict on it ("accepted").
  std::string foundBy;
  std::optional<std::string> currentDirectory;
  std::string verdict;
  Quor::ShortcutPlan shortcuts;
  std::vector<std::string> uninstallers;
};

// Initializes COM as the migration does, resolves the root and the five
// shortcut folders (the client's pass; the elevated pass walks the two
// all-users ones among them) and plans both passes. Fails (with the reason)
// when the root is refused, COM cannot be initialized or a folder cannot be
// resolved.
Quor::Expected<Preview> buildPreview(const RootRequest& request);

}  // namespace MigrationPreview
