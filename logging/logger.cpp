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

// Takes a lock as std::lock_guard does, except while the process exits: a
// thread the system ended there may have held the lock, and waiting for it
// would keep the process from ever ending. Then only a free lock is taken,
// and the caller leaves things as they are when it is not.
class ExitSafeGuard {
 public:
  explicit ExitSafeGuard(std::recursive_mutex& lock) : lock_(lock) {
    if (processIsExiting()) {
      owns_ = lock_.try_lock();
    } else {
      lock_.lock();
      owns_ = true;
    }
  }
  ~ExitSafeGuard() {
    if (owns_) {
      lock_.unlock();
    }
  }
  ExitSafeGuard(const ExitSafeGuard&) = delete;
  ExitSafeGuard& operator=(const ExitSafeGuard&) = delete;
  bool owns() const { return owns_; }

 private:
  std::recursive_mutex& lock_;
  bool owns_ = false;
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
    ExitSafeGuard lock(loggerLock());
    if (lock.owns()) {
      destroyLogger();
    }
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
  ExitSafeGuard lock(loggerLock());
  if (!lock.owns()) {
    return;
  }
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
  // Static targets unregister from their destructors, at process exit too.
  ExitSafeGuard lock(loggerLock());
  ExitSafeGuard targetGuard(target->lock_);
  if (!lock.owns() || !targetGuard.owns()) {
    return;
  }
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
