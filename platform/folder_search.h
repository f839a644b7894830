#pragma once
// The search of one folder by a wildcard path ("C:/T/Uninstall*.*"), the
// system applying the pattern.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/directory_iterator.h"
#include "platform/find_handle.h"
#include "platform/lead_bytes.h"
#include "platform/search_path.h"

namespace Quor {

// The entries of the folder of `wildcardPath` whose names match its last
// component, never "." or ".."; with searchDirectoriesOnly only directories.
// Never fails: a path that is refused (see isRefusedSearchPath, "ASSETS/..."
// among them) or a folder that cannot be searched gives an iterator without
// entries. The path is normalized first, so "\" and "/" both separate.
std::shared_ptr<DirectoryIterator> openFolderSearch(std::string_view wildcardPath, std::uint32_t flags);

class FolderSearch final : public DirectoryIterator {
 public:
  FolderSearch(std::string_view wildcardPath, std::uint32_t flags, const LeadBytes& leadBytes);

  bool valid() const override { return handle_.isOpen(); }
  void advance() override;
  const std::string& name() const override { return entry_.name; }
  bool isDirectory() const override { return Quor::isDirectory(entry_); }
  const std::string& currentFolder() const override { return currentFolder_; }
  const std::string& relativePath() const override { return entry_.name; }
  const std::string& fullPath() const override { return fullPath_; }

  // Whether the current entry is a junction or symbolic link (see
  // isLinkToElsewhere), which a walk does not enter.
  bool isLinkToElsewhere() const { return Quor::isLinkToElsewhere(entry_); }

 private:
  // Skips what the search does not hand out, from the entry the system last
  // listed on.
  void settle();
  void clearEntry();

  LeadBytes leadBytes_;
  bool directoriesOnly_;
  SearchPathParts parts_;
  FindHandle handle_;
  FoundEntry entry_;
  std::string currentFolder_;
  std::string fullPath_;
};

}  // namespace Quor
