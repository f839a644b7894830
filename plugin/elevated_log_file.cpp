#include "plugin/elevated_log_file.h"

#include "logging/log_line_format.h"
#include "logging/log_target.h"
#include "logging/logger.h"

namespace Quor {

class ElevatedLogFile::Target final : public LogTarget {
 public:
  explicit Target(std::FILE* file) : file_(file) {}
  ~Target() override {
    close();
    std::fclose(file_);
  }

  const char* name() const override { return "ElevatedLogFile"; }

  bool write(const LogRecord& record) override {
    std::lock_guard lock(targetLock());
    char line[kLogBufferSize];
    const std::size_t length = formatLine(line, sizeof line, lineFormatLocked(), record);
    std::fwrite(line, 1, length, file_);
    std::fflush(file_);
    return true;
  }

 private:
  std::FILE* file_;
};

ElevatedLogFile::ElevatedLogFile(const char* path) {
  // Binary: the lines end with "\n" alone, as the reader expects.
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return;
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
