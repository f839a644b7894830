#include "platform/name_filter.h"

#include <utility>

#include "platform/wildcard_match.h"

namespace Quor {

NameFilter::NameFilter(std::shared_ptr<DirectoryIterator> walk, std::optional<std::string> pattern,
                       bool directoriesOnly, const LeadBytes& leadBytes)
    : walk_(std::move(walk)), pattern_(std::move(pattern)), directoriesOnly_(directoriesOnly), leadBytes_(leadBytes) {
  skipRejected();
}

void NameFilter::advance() {
  if (!walk_->valid()) return;
  walk_->advance();
  skipRejected();
}

bool NameFilter::accepts() const {
  if (directoriesOnly_ && !walk_->isDirectory()) return false;
  return !pattern_ || wildcardMatch(walk_->name(), *pattern_, leadBytes_);
}

void NameFilter::skipRejected() {
  while (walk_->valid() && !accepts()) walk_->advance();
}

}  // namespace Quor
