#include "plugin/elevated_log_forwarding.h"

#include <windows.h>
#include <aclapi.h>

#include <cstdint>
#include <optional>
#include <string>

#include "logging/log_record.h"
#include "logging/logger.h"
#include "plugin/elevated_log_file.h"
#include "plugin/migration_log_texts.h"
#include "plugin/path_utilities.h"

namespace Quor {

namespace {

// File times and the clock may disagree by a file system's time resolution.
constexpr std::int64_t clockSlackTicks = 2 * 10'000'000;

std::int64_t ticksOf(const FILETIME& time) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

std::int64_t nowTicks() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return ticksOf(now);
}

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (valid()) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// The first maxForwardedLogBytes + 1 bytes of the pass's own file (the one
// byte more tells that there is more), or why there are none.
std::optional<std::string> readLog(const std::string& path, std::int64_t notBefore,
                                   const ElevatedLogOwnership& ownership, std::string& whyNot) {
  const FileHandle file(CreateFileA(path.c_str(), GENERIC_READ | READ_CONTROL,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.valid()) {
    const DWORD error = GetLastError();
    whyNot = error == ERROR_FILE_NOT_FOUND ? "the file does not exist" : "the file cannot be opened";
    return std::nullopt;
  }
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(file.get(), &information)) {
    whyNot = "the file cannot be read";
    return std::nullopt;
  }
  if ((information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    whyNot = "the name is a link or a folder, not the pass's file";
    return std::nullopt;
  }
  if (ticksOf(information.ftLastWriteTime) < notBefore) {
    whyNot = "the file is left from an earlier run";
    return std::nullopt;
  }
  if (!(ownership ? ownership(file.get()) : isOwnedByAdministrators(file.get()))) {
    whyNot = "the file is not owned by the Administrators group, so the elevated pass did not write it";
    return std::nullopt;
  }
  std::string text(maxForwardedLogBytes + 1, '\0');
  std::size_t filled = 0;
  while (filled < text.size()) {
    DWORD read = 0;
    if (!ReadFile(file.get(), text.data() + filled, static_cast<DWORD>(text.size() - filled), &read, nullptr)) {
      whyNot = "the file cannot be read";
      return std::nullopt;
    }
    if (read == 0) break;
    filled += read;
  }
  text.resize(filled);
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

bool isOwnedByAdministrators(void* file) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(static_cast<HANDLE>(file), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                      nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const bool administrators = owner != nullptr && IsWellKnownSid(owner, WinBuiltinAdministratorsSid);
  LocalFree(descriptor);
  return administrators;
}

Expected<void> launchForwardingElevatedLog(std::string_view clientFolder,
                                           const std::function<Expected<void>()>& launch,
                                           const StopRequested& stop, const ElevatedLogOwnership& ownership) {
  const std::int64_t launched = nowTicks() - clockSlackTicks;
  Expected<void> outcome = launch();
  if (isStopRequested(stop) || clientFolder.empty()) return outcome;
  const std::string path = joinPath(clientFolder, elevatedLogFileName);
  std::string whyNot;
  const std::optional<std::string> text = readLog(path, launched, ownership, whyNot);
  if (!text) {
    log(LogLevel::Warn, LogCategory::Gen, MigrationLogText::elevatedLogUnavailable, path.c_str(), whyNot.c_str());
    return outcome;
  }
  // Only whole lines within the limits go; a longer file ends in one line
  // that says so.
  const bool beyondBytes = text->size() > maxForwardedLogBytes;
  std::string_view rest = std::string_view(*text).substr(0, maxForwardedLogBytes);
  std::size_t lines = 0;
  bool truncated = beyondBytes;
  while (!rest.empty() && !isStopRequested(stop)) {
    const std::size_t end = rest.find('\n');
    if (end == std::string_view::npos && beyondBytes) break;
    if (lines == maxForwardedLogLines) {
      truncated = true;
      break;
    }
    forwardLine(rest.substr(0, end));
    ++lines;
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
  }
  if (truncated && !isStopRequested(stop)) {
    log(LogLevel::Warn, LogCategory::Gen, MigrationLogText::elevatedLogTruncated, path.c_str(),
        static_cast<unsigned>(lines));
  }
  return outcome;
}

}  // namespace Quor
