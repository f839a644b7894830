#pragma once
// Reading and writing shortcut files (.lnk) through the shell link object
// (CLSID_ShellLink; IShellLinkW to read, IShellLinkA to write, IPersistFile).
//
// The calling thread must have COM initialized (single-threaded apartment in
// the migration). Every object is created in process and released
// before the routine returns, on every path.

#include <string>
#include <string_view>

#include "logging/expected.h"

namespace Quor {

// What the migration reads from and writes into a shortcut.
struct ShortcutInfo {
  std::string target;
  std::string workingDirectory;
  // The icon's file; the index is not kept (writing always uses index 0).
  std::string iconPath;
  // The command-line arguments; read only (writing never sets any), so
  // writers may leave it out.
  std::string arguments = {};
  // Read only: false when the target has no exact form in the ANSI code
  // page. `target` then shows it as far as the code page can ("<U+FF27>" for
  // a character it lacks) and names no file.
  bool targetIsExact = true;
};

// Loads `linkPath` (opened with STGM_READ, so a read-only shortcut reads too)
// and reads its target (GetPath with SLGP_SHORTPATH, so it may come back as an
// 8.3 short path: compare it through canonicalLongPath), arguments, working
// directory and icon location through IShellLinkW, each converted to the
// ANSI code page exactly (ansi_path_form.h). IShellLinkA would hand over a
// look-alike where the code page lacks a character: a target in
// "C:\Ｇａｍｅｓ\T" would read as one in "C:\Games\T". A text without an
// exact form is shown as far as the code page can show it (for the target,
// see targetIsExact); the working directory, icon and arguments are only
// shown, never written back.
// Errors: 49 "CoCreateInstance failed", 50 "QueryInterface failed",
// 51 "Load failed for %s" (linkPath), 52 "GetPath failed".
Expected<ShortcutInfo> readShortcut(std::string_view linkPath);

// Builds a new shortcut holding the target, the working directory and the
// icon path with index 0, and saves it over `linkPath` (nothing of an existing
// file is kept: arguments, description, hot key and show command are gone).
// Errors: 43 "CoCreateInstance failed", 44 "SetPath failed for %s" (target),
// 45 "SetWorkingDirectory failed for %s" (working directory),
// 46 "SetIconLocation failed for %s" (icon path), 47 "QueryInterface failed",
// 48 "Save failed for %s" (linkPath).
Expected<void> writeShortcut(std::string_view linkPath, const ShortcutInfo& info);

}  // namespace Quor
