#include "plugin/elevated_log_file.h"

#include <windows.h>

#include "logging/log_line_format.h"
#include "logging/log_target.h"
#include "logging/logger.h"

namespace Quor {

class ElevatedLogFile::Target final : public LogTarget {
 public:
  explicit Target(HANDLE file) : file_(file) {}
  ~Target() override {
    close();
    CloseHandle(file_);
  }

  const char* name() const override { return "ElevatedLogFile"; }

  bool write(const LogRecord& record) override {
    std::lock_guard lock(targetLock());
    char line[kLogBufferSize];
    const std::size_t length = formatLine(line, sizeof line, lineFormatLocked(), record);
    // Unbuffered: a pass that ends abruptly keeps every line it logged.
    DWORD written = 0;
    WriteFile(file_, line, static_cast<DWORD>(length), &written, nullptr);
    return true;
  }

 private:
  HANDLE file_;
};

ElevatedLogFile::ElevatedLogFile(const char* path) {
  // The old file goes first, and so does a link someone put in its place
  // (DeleteFileA removes the link, never what it points to). The new file is
  // made only where nothing has the name by then: a file, link or junction
  // that appeared meanwhile, or a folder, leaves the pass without a log
  // rather than writing, with the pass's rights, wherever it leads.
  DeleteFileA(path);
  const HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  target_ = std::make_unique<Target>(file);
  std::lock_guard lock(loggerLock());
  setMinimumLevel(LogLevel::Okay);
  LogTargetSettings settings;
  settings.minimumLevel = LogLevel::Okay;
  settings.format = elevatedLogLineFormat;
  target_->configure(settings);
}

ElevatedLogFile::~ElevatedLogFile() = default;

}  // namespace Quor
