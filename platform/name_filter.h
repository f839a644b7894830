#pragma once
// Narrows a walk to the entries whose names match a wildcard pattern, and/or
// to directories.

#include <memory>
#include <optional>
#include <string>

#include "platform/directory_iterator.h"
#include "platform/lead_bytes.h"

namespace Quor {

// Skips entries by advancing the walk underneath, so what the walk enters
// does not depend on the filter.
class NameFilter final : public DirectoryIterator {
 public:
  // No pattern lets every name through.
  NameFilter(std::shared_ptr<DirectoryIterator> walk, std::optional<std::string> pattern, bool directoriesOnly,
             const LeadBytes& leadBytes);

  bool valid() const override { return walk_->valid(); }
  void advance() override;
  const std::string& name() const override { return walk_->name(); }
  bool isDirectory() const override { return walk_->isDirectory(); }
  const std::string& currentFolder() const override { return walk_->currentFolder(); }
  const std::string& relativePath() const override { return walk_->relativePath(); }
  const std::string& fullPath() const override { return walk_->fullPath(); }

 private:
  bool accepts() const;
  void skipRejected();

  std::shared_ptr<DirectoryIterator> walk_;
  std::optional<std::string> pattern_;
  bool directoriesOnly_;
  LeadBytes leadBytes_;
};

}  // namespace Quor
