#include "plugin/elevated_log_forwarding.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "logging/log_record.h"
#include "logging/logger.h"
#include "plugin/elevated_log_file.h"
#include "plugin/migration_log_texts.h"
#include "plugin/path_utilities.h"

namespace Quor {

namespace {

// Far more than a run's lines; what lies beyond is not read.
constexpr std::size_t maxLogBytes = 1 << 20;
// File times and the clock may disagree by a file system's time resolution.
constexpr std::time_t clockSlackSeconds = 2;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// The file's contents, or why there are none.
std::optional<std::string> readLog(const std::string& path, std::time_t notBefore, std::string& whyNot) {
  struct stat status = {};
  if (stat(path.c_str(), &status) != 0) {
    whyNot = "the file does not exist";
    return std::nullopt;
  }
  if (status.st_mtime < notBefore) {
    whyNot = "the file is left from an earlier run";
    return std::nullopt;
  }
  const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    whyNot = "the file cannot be opened";
    return std::nullopt;
  }
  std::string text(maxLogBytes, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), file.get()));
  if (std::ferror(file.get())) {
    whyNot = "the file cannot be read";
    return std::nullopt;
  }
  return text;
}

std::optional<std::int32_t> levelNamed(std::string_view name) {
  while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
  if (name == "OKAY") return LogLevel::Okay;
  if (name == "WARN") return LogLevel::Warn;
  if (name == "ERROR") return LogLevel::Error;
  if (name == "ALWAYS") return LogLevel::Always;
  return std::nullopt;
}

// "<time>| <level>| <message>" again at its level; anything else at OKAY.
void forwardLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.empty()) return;
  const std::size_t levelStart = line.find("| ");
  const std::size_t messageStart = levelStart == std::string_view::npos ? levelStart : line.find("| ", levelStart + 2);
  std::optional<std::int32_t> level;
  if (messageStart != std::string_view::npos) {
    level = levelNamed(line.substr(levelStart + 2, messageStart - levelStart - 2));
  }
  const std::string_view message = level ? line.substr(messageStart + 2) : line;
  log(level.value_or(LogLevel::Okay), LogCategory::Gen, "%s%.*s", elevatedLogMark, static_cast<int>(message.size()),
      message.data());
}

}  // namespace

Expected<void> launchForwardingElevatedLog(std::string_view clientFolder,
                                           const std::function<Expected<void>()>& launch,
                                           const StopRequested& stop) {
  const std::time_t launched = std::time(nullptr) - clockSlackSeconds;
  Expected<void> outcome = launch();
  if (isStopRequested(stop)) return outcome;
  const std::string path = joinPath(clientFolder, elevatedLogFileName);
  std::string whyNot;
  const std::optional<std::string> text = readLog(path, launched, whyNot);
  if (!text) {
    log(LogLevel::Warn, LogCategory::Gen, MigrationLogText::elevatedLogUnavailable, path.c_str(), whyNot.c_str());
    return outcome;
  }
  std::string_view rest = *text;
  while (!rest.empty() && !isStopRequested(stop)) {
    const std::size_t end = rest.find('\n');
    forwardLine(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
  }
  return outcome;
}

}  // namespace Quor
