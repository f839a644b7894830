#include "logging/fatal_error.h"

#include <atomic>
#include <cstdio>
#include <string>

#include "logging/assertion_report.h"
#include "logging/bounded_format.h"
#include "logging/console_log_targets.h"
#include "logging/log_line_format.h"
#include "logging/log_platform.h"
#include "logging/logger.h"

namespace Quor {
namespace {

constinit std::atomic<ProcessEndHook> gProcessEndHook{nullptr};

// Logs the report. Inside a target's write the logger would drop it, so it
// is written to standard error directly, as the standard error target would.
void report(const char* identifier, const char* description) {
  if (!insideTargetWrite()) {
    reportAssertion(identifier, description, nullptr, 0, nullptr);
    return;
  }
  const std::string text = assertionReport(identifier, description, nullptr, 0, nullptr);
  char message[kLogBufferSize];
  formatBounded(message, sizeof message, "%s", text.c_str());
  LogRecord record;
  currentTime(record);
  record.level = LogLevel::Error;
  record.category = LogCategory::Dbg;
  record.message = message;
  char line[kLogBufferSize];
  const std::size_t length = formatLine(line, sizeof line, kConsoleLineFormat, record);
  std::fwrite(line, 1, length, stderr);
  std::fflush(stderr);
}

}  // namespace

ProcessEndHook setProcessEndHook(ProcessEndHook hook) {
  return gProcessEndHook.exchange(hook);
}

void endProcessOnFatalError(const char* identifier, const char* description) {
  report(identifier, description);
  // The abnormal end runs no shutdown code: whatever the streams hold goes
  // out now.
  std::fflush(nullptr);
  if (const ProcessEndHook hook = gProcessEndHook.load()) {
    hook(identifier);
  }
  endProcessAbnormally();
}

void endOperationOnFatalError(const char* identifier, const char* description) {
  report(identifier, description);
}

}  // namespace Quor
