#include "plugin/installation_root.h"

#include <windows.h>

#include <array>
#include <cstdlib>
#include <vector>

#include "logging/make_error.h"
#include "plugin/path_utilities.h"

namespace Quor {

namespace {

constexpr std::size_t installationDepth = 6;

bool isSeparator(char c) { return c == '/' || c == '\\'; }

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

bool isLeadByte(char c) { return IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(c)) != 0; }

// "UNC" in any case, followed by a separator.
bool isUncMarker(std::string_view text) {
  return text.size() >= 4 && (text[0] | 0x20) == 'u' && (text[1] | 0x20) == 'n' && (text[2] | 0x20) == 'c' &&
         isSeparator(text[3]);
}

// The length of the "\\?\" prefix and the drive or share root.
std::size_t rootPrefixLength(std::string_view path) {
  std::size_t start = 0;
  bool share = false;
  if (startsWith(path, "\\\\?\\") || startsWith(path, "//?/")) {
    start = 4;
    if (isUncMarker(path.substr(start))) {
      start += 4;
      share = true;
    }
  } else if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
    start = 2;
    share = true;
  }
  if (!share) {
    // "C:" (and the separator after it, counted as an empty step).
    return path.size() >= start + 2 && path[start + 1] == ':' ? start + 2 : start;
  }
  // The server and share names.
  std::size_t index = start;
  for (int names = 0; names < 2 && index < path.size(); ++names) {
    while (index < path.size() && isSeparator(path[index])) ++index;
    while (index < path.size() && !isSeparator(path[index])) {
      index += isLeadByte(path[index]) && index + 1 < path.size() ? 2 : 1;
    }
  }
  return index;
}

// Where each folder name of `path` begins and ends, after its root prefix.
struct FolderName {
  std::size_t begin;
  std::size_t end;
};

std::vector<FolderName> folderNames(std::string_view path) {
  std::vector<FolderName> names;
  for (std::size_t index = rootPrefixLength(path); index < path.size();) {
    if (isSeparator(path[index])) {
      ++index;
      continue;
    }
    const std::size_t begin = index;
    while (index < path.size() && !isSeparator(path[index])) {
      // The second byte of a double-byte character may be 0x5C, never a separator.
      index += isLeadByte(path[index]) && index + 1 < path.size() ? 2 : 1;
    }
    names.push_back({begin, index});
  }
  return names;
}

// The same drive or share root (separators and letter case aside) and the
// same folder names, byte for byte.
bool sameFolders(std::string_view first, std::string_view second) {
  const std::string_view firstRoot = first.substr(0, rootPrefixLength(first));
  const std::string_view secondRoot = second.substr(0, rootPrefixLength(second));
  if (firstRoot.size() != secondRoot.size()) return false;
  for (std::size_t index = 0; index < firstRoot.size(); ++index) {
    const char a = firstRoot[index];
    const char b = secondRoot[index];
    if (isSeparator(a) ? !isSeparator(b) : (a | 0x20) != (b | 0x20)) return false;
  }
  const std::vector<FolderName> firstNames = folderNames(first);
  const std::vector<FolderName> secondNames = folderNames(second);
  if (firstNames.size() != secondNames.size()) return false;
  for (std::size_t index = 0; index < firstNames.size(); ++index) {
    if (first.substr(firstNames[index].begin, firstNames[index].end - firstNames[index].begin) !=
        second.substr(secondNames[index].begin, secondNames[index].end - secondNames[index].begin)) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::size_t folderLevelsBelowRoot(std::string_view path) { return folderNames(path).size(); }

Expected<std::string> installationRoot(std::string_view currentDirectory) {
  const std::vector<FolderName> names = folderNames(currentDirectory);
  if (names.size() < installationDepth) {
    return makeError(0,
                     "Cannot find the installation root: the current directory %1 is fewer than six folder "
                     "levels below its root.",
                     currentDirectory);
  }
  // The six folders come off the text itself, so a current directory near
  // the path limit still gives the folder six levels up. With exactly six
  // the root is the drive's or share's own root, separator included ("C:"
  // alone would name the drive's current folder).
  std::string root;
  if (names.size() == installationDepth) {
    root = std::string(currentDirectory.substr(0, rootPrefixLength(currentDirectory))) + "\\";
  } else {
    root = std::string(currentDirectory.substr(0, names[names.size() - installationDepth - 1].end));
  }
  std::array<char, maxPathBytes> full{};
  // _fullpath drops a name's trailing dots and blanks, which Windows keeps
  // in a current directory ("C:\G\T..\..." gave the root "C:\G\T", a folder
  // named "..." the drive): a root it changes beyond its separators is
  // another folder.
  if (_fullpath(full.data(), root.c_str(), full.size()) == nullptr || full[0] == '\0' ||
      !sameFolders(root, full.data())) {
    return makeError(0, "Cannot find the installation root: the current directory %1 has no full path six levels up.",
                     currentDirectory);
  }
  return std::string(full.data());
}

}  // namespace Quor
