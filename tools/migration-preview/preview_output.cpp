#include "preview_output.h"

#include <array>
#include <cstddef>

#include "ansi_text.h"
#include "formats/json_writer.h"

namespace MigrationPreview {

namespace {

using Quor::PlannedShortcut;
using Quor::ShortcutAction;

constexpr std::array allActions = {ShortcutAction::Rewrite, ShortcutAction::UnpinDelete, ShortcutAction::Keep,
                                   ShortcutAction::Skip, ShortcutAction::Fail};

std::size_t countOf(const Preview& preview, ShortcutAction action) {
  std::size_t count = 0;
  for (const PlannedShortcut& shortcut : preview.shortcuts.shortcuts) count += shortcut.action == action ? 1 : 0;
  return count;
}

std::string rootLine(const Preview& preview) {
  std::string line = "Installation root: " + preview.shortcuts.root;
  if (preview.currentDirectory) {
    line += " (six folders above " + *preview.currentDirectory + ": " + preview.verdict + ")";
  } else {
    line += " (given as " + preview.shortcuts.rootDir + ")";
  }
  return line + '\n';
}

// Paths and reasons come in the ANSI code page; JSON Lines are UTF-8.
void member(Quor::JsonWriter& writer, std::string_view name, std::string_view text) {
  writer.key(name);
  writer.string(ToolText::ansiToUtf8(text));
}

}  // namespace

std::string previewTable(const Preview& preview) {
  std::string text = rootLine(preview) + '\n';
  for (const PlannedShortcut& shortcut : preview.shortcuts.shortcuts) {
    std::string action = Quor::shortcutActionName(shortcut.action);
    action.resize(14, ' ');
    text += action + shortcut.file + '\n';
    const std::string indent(14, ' ');
    if (shortcut.action != ShortcutAction::Skip || !shortcut.current.target.empty()) {
      text += indent + "target " + shortcut.current.target;
      if (!shortcut.current.arguments.empty()) text += "  arguments " + shortcut.current.arguments;
      text += "  in " + shortcut.current.workingDirectory + '\n';
    }
    if (shortcut.action == ShortcutAction::Rewrite) {
      text += indent + "becomes " + shortcut.replacement.target + "  in " + shortcut.replacement.workingDirectory +
              "  icon " + shortcut.replacement.iconPath + '\n';
    } else if (!shortcut.reason.empty()) {
      text += indent + shortcut.reason + '\n';
    }
    if (shortcut.action == ShortcutAction::Fail) text += indent + "fails with " + shortcut.failure.message + '\n';
  }
  for (const std::string& file : preview.uninstallers) text += "remove        " + file + '\n';
  text += '\n';
  for (const ShortcutAction action : allActions) {
    text += std::to_string(countOf(preview, action)) + ' ' + Quor::shortcutActionName(action) + ", ";
  }
  text += std::to_string(preview.uninstallers.size()) + " uninstaller files to remove\n";
  return text;
}

std::string previewJsonLines(const Preview& preview) {
  std::string text;
  for (const PlannedShortcut& shortcut : preview.shortcuts.shortcuts) {
    Quor::JsonWriter writer;
    writer.startObject();
    member(writer, "kind", "shortcut");
    member(writer, "folder", shortcut.folder);
    member(writer, "file", shortcut.file);
    member(writer, "target", shortcut.current.target);
    member(writer, "canonicalTarget", shortcut.canonicalTarget);
    member(writer, "arguments", shortcut.current.arguments);
    member(writer, "workingDirectory", shortcut.current.workingDirectory);
    member(writer, "action", Quor::shortcutActionName(shortcut.action));
    if (shortcut.action == ShortcutAction::Rewrite) {
      member(writer, "newTarget", shortcut.replacement.target);
      member(writer, "newWorkingDirectory", shortcut.replacement.workingDirectory);
      member(writer, "newIcon", shortcut.replacement.iconPath);
    }
    if (!shortcut.reason.empty()) member(writer, "reason", shortcut.reason);
    if (shortcut.action == ShortcutAction::Fail) {
      member(writer, "error", shortcut.failure.message);
      writer.key("errorCode");
      writer.signedInteger(shortcut.failure.code);
    }
    writer.endObject();
    text += writer.takeText() + '\n';
  }
  for (const std::string& file : preview.uninstallers) {
    Quor::JsonWriter writer;
    writer.startObject();
    member(writer, "kind", "uninstaller");
    member(writer, "folder", preview.shortcuts.root);
    member(writer, "file", file);
    member(writer, "action", "remove");
    writer.endObject();
    text += writer.takeText() + '\n';
  }
  Quor::JsonWriter writer;
  writer.startObject();
  member(writer, "kind", "summary");
  member(writer, "root", preview.shortcuts.root);
  member(writer, "rootGiven", preview.shortcuts.rootDir);
  member(writer, "foundBy", preview.foundBy);
  if (preview.currentDirectory) {
    member(writer, "currentDirectory", *preview.currentDirectory);
    member(writer, "verdict", preview.verdict);
  }
  writer.key("counts");
  writer.startObject();
  for (const ShortcutAction action : allActions) {
    writer.key(Quor::shortcutActionName(action));
    writer.unsignedInteger(countOf(preview, action));
  }
  writer.key("uninstallers");
  writer.unsignedInteger(preview.uninstallers.size());
  writer.endObject();
  writer.endObject();
  return text + writer.takeText() + '\n';
}

}  // namespace MigrationPreview
