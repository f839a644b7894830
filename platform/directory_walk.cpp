#include "platform/directory_walk.h"

#include <optional>
#include <utility>

#include "platform/name_filter.h"
#include "platform/search_path.h"

namespace Quor {

DirectoryWalk::DirectoryWalk(std::string_view folder, std::uint32_t flags, std::int32_t maxDepth,
                             const LeadBytes& leadBytes)
    : leadBytes_(leadBytes),
      start_(normalizeSearchPath(folder, TrailingSeparator::Remove, leadBytes)),
      folderFlags_(flags & ~searchTraversalMask),
      depthFirst_((flags & searchTraversalMask) == searchDepthFirst),
      maxDepth_(maxDepth) {
  if (start_.empty()) return;
  open_.push_back(list(std::string(), 0));
  settle();
}

DirectoryWalk::OpenFolder DirectoryWalk::list(std::string relativeFolder, std::int32_t depth) const {
  OpenFolder folder{nullptr, std::move(relativeFolder), depth};
  const std::optional<std::string> path = appendPathPart(start_, folder.relativeFolder, leadBytes_);
  const std::optional<std::string> searchPath = path ? appendPathPart(*path, "*", leadBytes_) : std::nullopt;
  if (searchPath) folder.search = std::make_unique<FolderSearch>(*searchPath, folderFlags_, leadBytes_);
  return folder;
}

bool DirectoryWalk::mayEnter(const FolderSearch& search, std::int32_t depth) const {
  return search.isDirectory() && !search.isLinkToElsewhere() && (maxDepth_ == -1 || depth < maxDepth_);
}

void DirectoryWalk::advance() {
  if (!valid_) return;
  open_.back().search->advance();
  settle();
}

void DirectoryWalk::settle() {
  for (;;) {
    if (open_.empty()) {
      if (pending_.empty()) break;
      PendingFolder next = std::move(pending_.front());
      pending_.pop_front();
      open_.push_back(list(std::move(next.relativeFolder), next.depth));
      continue;
    }

    OpenFolder& folder = open_.back();
    if (!folder.search || !folder.search->valid()) {
      // Depth first, the folder above goes on after the entry it stood on,
      // the subfolder just finished.
      open_.pop_back();
      if (!open_.empty()) open_.back().search->advance();
      continue;
    }

    FolderSearch& search = *folder.search;
    std::optional<std::string> currentFolder = appendPathPart(start_, folder.relativeFolder, leadBytes_);
    std::optional<std::string> relativePath = appendPathPart(folder.relativeFolder, search.name(), leadBytes_);
    std::optional<std::string> fullPath =
        currentFolder ? appendPathPart(*currentFolder, search.name(), leadBytes_) : std::nullopt;
    if (!currentFolder || !relativePath || !fullPath) {
      search.advance();
      continue;
    }

    const bool enter = mayEnter(search, folder.depth);
    const std::int32_t depth = folder.depth;
    if (enter && depthFirst_) {
      // The subfolder's entries take its place; `folder` stays at it.
      open_.push_back(list(std::move(*relativePath), depth + 1));
      continue;
    }
    if (enter) pending_.push_back(PendingFolder{*relativePath, depth + 1});

    valid_ = true;
    name_ = search.name();
    isDirectory_ = search.isDirectory();
    currentFolder_ = std::move(*currentFolder);
    relativePath_ = std::move(*relativePath);
    fullPath_ = std::move(*fullPath);
    return;
  }
  clearEntry();
}

void DirectoryWalk::clearEntry() {
  valid_ = false;
  name_.clear();
  isDirectory_ = false;
  currentFolder_.clear();
  relativePath_.clear();
  fullPath_.clear();
}

std::shared_ptr<DirectoryIterator> openWalk(std::string_view folder, std::string_view namePattern,
                                            std::uint32_t flags, std::int32_t maxDepth) {
  const LeadBytes leadBytes = ansiCodePageLeadBytes();
  auto walk = std::make_shared<DirectoryWalk>(folder, flags, maxDepth, leadBytes);
  const bool directoriesOnly = (flags & searchDirectoriesOnly) != 0;
  if (namePattern == "*" && !directoriesOnly) return walk;
  std::optional<std::string> pattern;
  if (namePattern != "*") pattern.emplace(namePattern);
  return std::make_shared<NameFilter>(std::move(walk), std::move(pattern), directoriesOnly, leadBytes);
}

}  // namespace Quor
