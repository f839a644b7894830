#include "logging/bounded_format.h"

#include <cstdio>

namespace Quor {

std::size_t formatBoundedV(char* buffer, std::size_t size, const char* format, std::va_list arguments) {
  if (buffer == nullptr || size == 0) {
    return 0;
  }
  buffer[0] = '\0';
  if (format == nullptr) {
    return 0;
  }
#if defined(__MINGW32__)
  const int written = __mingw_vsnprintf(buffer, size, format, arguments);
#else
  const int written = std::vsnprintf(buffer, size, format, arguments);
#endif
  if (written < 0) {
    buffer[0] = '\0';
    return 0;
  }
  const auto length = static_cast<std::size_t>(written);
  return length < size ? length : size - 1;
}

std::size_t formatBounded(char* buffer, std::size_t size, const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  const std::size_t length = formatBoundedV(buffer, size, format, arguments);
  va_end(arguments);
  return length;
}

}  // namespace Quor
