#pragma once
// The walk of a folder tree to a depth limit, depth first or breadth first,
// with a name filter.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/directory_iterator.h"
#include "platform/folder_search.h"
#include "platform/lead_bytes.h"

namespace Quor {

// The entries of `folder` and of its subfolders down to `maxDepth` levels
// below it (-1: no limit; 0: the folder alone) whose names match the wildcard
// `namePattern` ("*" lets every name through; see wildcardMatch); with
// searchDirectoriesOnly in `flags` only directories. The traversal is in the
// two lowest bits of `flags` (searchDepthFirst, else breadth first); the
// other bits go to each folder's search.
//
// Depth first, a subfolder that the walk enters is not handed out itself: its
// entries take its place. Breadth first, every entry is handed out and the
// subfolders are listed after the folder that holds them. Subfolders are
// entered whatever their names; junctions and symbolic links are handed out
// but never entered, so the walk stays inside `folder`. Entries whose paths
// would not fit in 260 bytes are left out, which also ends a folder that
// loops back into itself when there is no depth limit.
//
// Never fails: an empty `folder` (which would otherwise mean the current
// folder) gives no entries, and a folder that cannot be searched gives none
// while the walk goes on.
std::shared_ptr<DirectoryIterator> openWalk(std::string_view folder, std::string_view namePattern,
                                            std::uint32_t flags, std::int32_t maxDepth);

class DirectoryWalk final : public DirectoryIterator {
 public:
  DirectoryWalk(std::string_view folder, std::uint32_t flags, std::int32_t maxDepth, const LeadBytes& leadBytes);

  bool valid() const override { return valid_; }
  void advance() override;
  const std::string& name() const override { return name_; }
  bool isDirectory() const override { return isDirectory_; }
  const std::string& currentFolder() const override { return currentFolder_; }
  const std::string& relativePath() const override { return relativePath_; }
  const std::string& fullPath() const override { return fullPath_; }

 private:
  struct OpenFolder {
    // Null when the folder's search path does not fit.
    std::unique_ptr<FolderSearch> search;
    std::string relativeFolder;
    std::int32_t depth = 0;
  };
  struct PendingFolder {
    std::string relativeFolder;
    std::int32_t depth = 0;
  };

  OpenFolder list(std::string relativeFolder, std::int32_t depth) const;
  bool mayEnter(const FolderSearch& search, std::int32_t depth) const;
  // Moves on from the position of the innermost open folder to the next entry
  // to hand out, entering, leaving and listing folders on the way.
  void settle();
  void clearEntry();

  LeadBytes leadBytes_;
  std::string start_;
  std::uint32_t folderFlags_;
  bool depthFirst_;
  std::int32_t maxDepth_;
  // Depth first: the starting folder down to the current one, each at the
  // entry it stands on. Breadth first: the folder being listed.
  std::vector<OpenFolder> open_;
  // Breadth first: folders still to list, in the order they were found.
  std::deque<PendingFolder> pending_;

  bool valid_ = false;
  std::string name_;
  bool isDirectory_ = false;
  std::string currentFolder_;
  std::string relativePath_;
  std::string fullPath_;
};

}  // namespace Quor
