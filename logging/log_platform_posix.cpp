#include <time.h>
#include <unistd.h>

#include "logging/log_platform.h"

namespace Quor {

std::uint32_t currentThreadId() {
  return static_cast<std::uint32_t>(gettid());
}

void currentTime(LogRecord& record) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  record.year = local.tm_year + 1900;
  record.month = local.tm_mon + 1;
  record.day = local.tm_mday;
  record.hour = local.tm_hour;
  record.minute = local.tm_min;
  record.second = local.tm_sec;
  record.millisecond = static_cast<std::int32_t>(now.tv_nsec / 1000000);
}

void executablePath(char* buffer, std::size_t size) {
  if (buffer == nullptr || size == 0) {
    return;
  }
  const ssize_t length = readlink("/proc/self/exe", buffer, size - 1);
  buffer[length > 0 ? static_cast<std::size_t>(length) : 0] = '\0';
}

// No debugger channel natively.
void writeDebuggerOutput(const char*) {}

bool processIsExiting() {
  return false;
}

}  // namespace Quor
