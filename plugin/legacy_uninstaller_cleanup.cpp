#include "plugin/legacy_uninstaller_cleanup.h"

#include <memory>

#include "logging/log_record.h"
#include "logging/logger.h"
#include "logging/make_error.h"
#include "platform/folder_search.h"
#include "plugin/file_removal.h"
#include "plugin/migration_log_texts.h"
#include "plugin/path_utilities.h"

namespace Quor {

namespace {

constexpr char uninstallerPattern[] = "Uninstall Tessaryn client alpha*.*";

}  // namespace

std::vector<std::string> planUninstallerCleanup(std::string_view rootDir) {
  std::vector<std::string> files;
  const std::shared_ptr<DirectoryIterator> search =
      openFolderSearch(joinPath(rootDir, uninstallerPattern), searchPassedOn);
  for (; search->valid(); search->advance()) files.push_back(search->fullPath());
  return files;
}

Expected<void> removeUninstallers(const std::vector<std::string>& files, const StopRequested& stop) {
  bool removalFailed = false;
  bool stopped = false;
  for (const std::string& path : files) {
    if (isStopRequested(stop)) {
      stopped = true;
      break;
    }
    if (removeFileForce(path)) {
      log(LogLevel::Okay, LogCategory::Gen, MigrationLogText::uninstallerRemoved, path.c_str());
    } else {
      log(LogLevel::Error, LogCategory::Dbg, MigrationLogText::uninstallerNotRemoved, path.c_str());
      removalFailed = true;
    }
  }
  if (removalFailed) return makeError(0, "Failed to remove one or more uninstaller files.");
  if (stopped) return makeError(0, migrationStoppedMessage);
  return {};
}

Expected<void> cleanLegacyUninstallers(std::string_view rootDir, const StopRequested& stop) {
  return removeUninstallers(planUninstallerCleanup(rootDir), stop);
}

}  // namespace Quor
