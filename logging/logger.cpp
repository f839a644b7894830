#include "logging/logger.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "logging/log_platform.h"
#include "logging/program_name.h"

namespace Quor {
namespace {

struct Logger {
  bool paused = false;
  std::int32_t minimumLevel = LogLevel::Warn;
  std::uint64_t excludedCategories = LogCategory::Xtr;
  int useCount = 0;
  std::vector<LogTarget*> targets;
  StdErrLogTarget stdErr;
  StdOutLogTarget stdOut;
  DebuggerConsoleLogTarget debugger;
};

// Guarded by loggerLock().
Logger* gLogger = nullptr;

// Set while this thread is inside a target's write.
thread_local bool tInsideWrite = false;

class InsideWrite {
 public:
  InsideWrite() { tInsideWrite = true; }
  ~InsideWrite() { tInsideWrite = false; }
  InsideWrite(const InsideWrite&) = delete;
  InsideWrite& operator=(const InsideWrite&) = delete;
};

// The logger, created when there is none. The caller holds loggerLock().
Logger& currentLogger() {
  if (gLogger == nullptr) {
    programName();
    auto* logger = new Logger;
    logger->targets.reserve(8);
    gLogger = logger;
    addTarget(&logger->stdErr);
    addTarget(&logger->debugger);
  }
  return *gLogger;
}

// The caller holds loggerLock().
void destroyLogger() {
  Logger* logger = gLogger;
  if (logger == nullptr) {
    return;
  }
  while (!logger->targets.empty()) {
    removeTarget(logger->targets.back());
  }
  gLogger = nullptr;
  delete logger;
}

// The logger goes away with the library.
struct LoggerTeardown {
  LoggerTeardown() = default;
  LoggerTeardown(const LoggerTeardown&) = delete;
  LoggerTeardown& operator=(const LoggerTeardown&) = delete;
  ~LoggerTeardown() {
    std::lock_guard lock(loggerLock());
    destroyLogger();
  }
} gLoggerTeardown;

}  // namespace

std::recursive_mutex& loggerLock() {
  // Never destroyed, so that logging from other libraries' shutdown code
  // still finds a lock.
  static std::recursive_mutex* const lock = new std::recursive_mutex;
  return *lock;
}

void logV(std::int32_t level, std::uint64_t category, const char* format, std::va_list arguments) {
  if (tInsideWrite) {
    return;
  }
  std::lock_guard lock(loggerLock());
  Logger& logger = currentLogger();
  if (logger.paused || level < logger.minimumLevel || (category & logger.excludedCategories) != 0) {
    return;
  }
  char message[kLogBufferSize];
  formatBoundedV(message, sizeof message, format, arguments);
  LogRecord record;
  currentTime(record);
  record.level = level;
  record.category = category;
  record.message = message;

  InsideWrite insideWrite;
  // A target may unregister itself or others while writing: the list is
  // re-read at every step, and the walk stops if the logger went away.
  for (std::size_t i = 0; gLogger == &logger && i < logger.targets.size(); ++i) {
    LogTarget* target = logger.targets[i];
    if (!target->accepts(level, category)) {
      continue;
    }
    try {
      target->write(record);
    } catch (...) {
      // Logging never fails its caller; a failed target is not retried.
    }
  }
}

void log(std::int32_t level, std::uint64_t category, const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  logV(level, category, format, arguments);
  va_end(arguments);
}

void acquireLogger() {
  std::lock_guard lock(loggerLock());
  ++currentLogger().useCount;
}

void releaseLogger() {
  std::lock_guard lock(loggerLock());
  if (gLogger == nullptr || gLogger->useCount == 0) {
    return;
  }
  if (--gLogger->useCount == 0) {
    destroyLogger();
  }
}

void setMinimumLevel(std::int32_t level) {
  std::lock_guard lock(loggerLock());
  currentLogger().minimumLevel = level;
}

std::int32_t getMinimumLevel() {
  std::lock_guard lock(loggerLock());
  return currentLogger().minimumLevel;
}

void setExcludedCategories(std::uint64_t mask) {
  std::lock_guard lock(loggerLock());
  currentLogger().excludedCategories = mask;
}

std::uint64_t getExcludedCategories() {
  std::lock_guard lock(loggerLock());
  return currentLogger().excludedCategories;
}

void pause() {
  std::lock_guard lock(loggerLock());
  currentLogger().paused = true;
}

void resume() {
  std::lock_guard lock(loggerLock());
  currentLogger().paused = false;
}

void addTarget(LogTarget* target) {
  if (target == nullptr) {
    return;
  }
  std::lock_guard lock(loggerLock());
  Logger& logger = currentLogger();
  std::lock_guard targetGuard(target->lock_);
  if (std::find(logger.targets.begin(), logger.targets.end(), target) == logger.targets.end()) {
    logger.targets.push_back(target);
  }
  target->registered_ = true;
}

void removeTarget(LogTarget* target) {
  if (target == nullptr) {
    return;
  }
  std::lock_guard lock(loggerLock());
  std::lock_guard targetGuard(target->lock_);
  if (gLogger != nullptr) {
    std::erase(gLogger->targets, target);
  }
  target->registered_ = false;
}

LogTarget* findTarget(const char* name) {
  if (name == nullptr) {
    return nullptr;
  }
  std::lock_guard lock(loggerLock());
  for (LogTarget* target : currentLogger().targets) {
    if (std::strcmp(target->name(), name) == 0) {
      return target;
    }
  }
  return nullptr;
}

StdOutLogTarget* stdOutTarget() {
  std::lock_guard lock(loggerLock());
  return &currentLogger().stdOut;
}

StdErrLogTarget* stdErrTarget() {
  std::lock_guard lock(loggerLock());
  return &currentLogger().stdErr;
}

DebuggerConsoleLogTarget* debuggerTarget() {
  std::lock_guard lock(loggerLock());
  return &currentLogger().debugger;
}

}  // namespace Quor
