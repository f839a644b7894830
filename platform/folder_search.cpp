#include "platform/folder_search.h"

namespace Quor {

FolderSearch::FolderSearch(std::string_view wildcardPath, std::uint32_t flags, const LeadBytes& leadBytes)
    : leadBytes_(leadBytes), directoriesOnly_((flags & searchDirectoriesOnly) != 0) {
  const std::string path = normalizeSearchPath(wildcardPath, TrailingSeparator::Keep, leadBytes_);
  if (isRefusedSearchPath(path)) return;
  parts_ = splitSearchPath(path, leadBytes_);
  handle_ = FindHandle::start(path, directoriesOnly_, entry_);
  settle();
}

void FolderSearch::advance() {
  if (!handle_.isOpen()) return;
  if (handle_.next(entry_)) {
    settle();
  } else {
    clearEntry();
  }
}

void FolderSearch::settle() {
  while (handle_.isOpen()) {
    if (isListableEntryName(entry_.name, leadBytes_) && (!directoriesOnly_ || Quor::isDirectory(entry_))) {
      std::optional<std::string> path;
      if (parts_.driveRelative) {
        // "C:" + "name": the entry in the drive's current folder.
        if (parts_.folder.size() + entry_.name.size() <= maxSearchPathLength) path = parts_.folder + entry_.name;
      } else {
        path = appendPathPart(parts_.folder, entry_.name, leadBytes_);
      }
      // An entry whose path does not fit could only be handed out cut, as
      // the path of something else.
      if (path) {
        currentFolder_ = parts_.folder;
        fullPath_ = std::move(*path);
        return;
      }
    }
    if (!handle_.next(entry_)) break;
  }
  clearEntry();
}

void FolderSearch::clearEntry() {
  entry_ = FoundEntry();
  currentFolder_.clear();
  fullPath_.clear();
}

std::shared_ptr<DirectoryIterator> openFolderSearch(std::string_view wildcardPath, std::uint32_t flags) {
  return std::make_shared<FolderSearch>(wildcardPath, flags, ansiCodePageLeadBytes());
}

}  // namespace Quor
