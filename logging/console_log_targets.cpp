#include "logging/console_log_targets.h"

#include "logging/log_line_format.h"
#include "logging/log_platform.h"

namespace Quor {
namespace {

LogTargetSettings consoleSettings(std::uint64_t included, std::uint64_t excluded, const char* format) {
  LogTargetSettings settings;
  settings.minimumLevel = LogLevel::Warn;
  settings.includedCategories = included;
  settings.excludedCategories = excluded;
  settings.format = format;
  return settings;
}

}  // namespace

const char* BaseConsoleLogTarget::name() const {
  return "BaseConsoleLogTarget";
}

std::size_t BaseConsoleLogTarget::formatRecordLocked(char (&line)[kLogBufferSize], const LogRecord& record) const {
  return formatLine(line, sizeof line, lineFormatLocked(), record);
}

StdErrLogTarget::StdErrLogTarget(std::FILE* stream)
    : BaseConsoleLogTarget(consoleSettings(LogCategory::Dbg, LogCategory::Gen, kConsoleLineFormat)),
      stream_(stream != nullptr ? stream : stderr) {}

StdErrLogTarget::~StdErrLogTarget() {
  close();
}

const char* StdErrLogTarget::name() const {
  return "StdErrLogTarget";
}

bool StdErrLogTarget::write(const LogRecord& record) {
  std::lock_guard lock(targetLock());
  char line[kLogBufferSize];
  const std::size_t length = formatRecordLocked(line, record);
  std::fwrite(line, 1, length, stream_);
  // Standard error is meant to be unbuffered, but the Windows C runtime
  // buffers it when it is redirected to a file or pipe; a line must not be
  // lost when the process ends abnormally right after it.
  std::fflush(stream_);
  return true;
}

void StdErrLogTarget::flush() {
  std::lock_guard lock(targetLock());
  std::fflush(stream_);
}

StdOutLogTarget::StdOutLogTarget(std::FILE* stream)
    : BaseConsoleLogTarget(consoleSettings(LogCategory::Gen, LogCategory::Dbg, "#M")),
      stream_(stream != nullptr ? stream : stdout) {}

StdOutLogTarget::~StdOutLogTarget() {
  close();
}

const char* StdOutLogTarget::name() const {
  return "StdOutLogTarget";
}

bool StdOutLogTarget::write(const LogRecord& record) {
  std::lock_guard lock(targetLock());
  char line[kLogBufferSize];
  const std::size_t length = formatRecordLocked(line, record);
  std::fwrite(line, 1, length, stream_);
  if (flushAfterEachLine_) {
    std::fflush(stream_);
  }
  return true;
}

void StdOutLogTarget::flush() {
  std::lock_guard lock(targetLock());
  std::fflush(stream_);
}

void StdOutLogTarget::setFlushAfterEachLine(bool flush) {
  std::lock_guard lock(targetLock());
  flushAfterEachLine_ = flush;
}

bool StdOutLogTarget::flushesAfterEachLine() const {
  std::lock_guard lock(targetLock());
  return flushAfterEachLine_;
}

DebuggerConsoleLogTarget::DebuggerConsoleLogTarget(DebuggerOutputFunction output)
    : BaseConsoleLogTarget(consoleSettings(LogCategory::Dbg, 0, kConsoleLineFormat)),
      output_(output != nullptr ? output : writeDebuggerOutput) {}

DebuggerConsoleLogTarget::~DebuggerConsoleLogTarget() {
  close();
}

const char* DebuggerConsoleLogTarget::name() const {
  return "DebuggerConsoleLogTarget";
}

bool DebuggerConsoleLogTarget::write(const LogRecord& record) {
  std::lock_guard lock(targetLock());
  char line[kLogBufferSize];
  formatRecordLocked(line, record);
  output_(line);
  return true;
}

void DebuggerConsoleLogTarget::flush() {}

}  // namespace Quor
