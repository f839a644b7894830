#pragma once
// migration-preview's two ways of printing a preview: a table for people,
// JSON Lines for scripts.

#include <string>

#include "preview_source.h"

namespace MigrationPreview {

std::string previewTable(const Preview& preview);

// One object per shortcut ("kind": "shortcut") and per uninstaller file
// ("kind": "uninstaller"), then one "kind": "summary" object with the root
// and the counts; one a line.
std::string previewJsonLines(const Preview& preview);

}  // namespace MigrationPreview
