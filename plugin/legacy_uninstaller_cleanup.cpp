#include "plugin/legacy_uninstaller_cleanup.h"

#include <memory>
#include <string>

#include "logging/log_record.h"
#include "logging/logger.h"
#include "logging/make_error.h"
#include "platform/folder_search.h"
#include "plugin/file_removal.h"
#include "plugin/path_utilities.h"

namespace Quor {

namespace {

constexpr char uninstallerPattern[] = "Uninstall Tessaryn client alpha*.*";

}  // namespace

Expected<void> cleanLegacyUninstallers(std::string_view rootDir, const StopRequested& stop) {
  const std::string pattern = joinPath(rootDir, uninstallerPattern);

  bool removalFailed = false;
  bool stopped = false;
  const std::shared_ptr<DirectoryIterator> search = openFolderSearch(pattern, searchPassedOn);
  for (; search->valid(); search->advance()) {
    if (isStopRequested(stop)) {
      stopped = true;
      break;
    }
    const std::string& path = search->fullPath();
    if (!removeFileForce(path)) {
      log(LogLevel::Error, LogCategory::Dbg, "Failed to remove: %s", path.c_str());
      removalFailed = true;
    }
  }
  if (removalFailed) return makeError(0, "Failed to remove one or more uninstaller files.");
  if (stopped) return makeError(0, migrationStoppedMessage);
  return {};
}

}  // namespace Quor
