#include <windows.h>

#include <algorithm>
#include <cstring>

#include "logging/system_error_text.h"

namespace Quor {

char* systemErrorText(std::uint32_t code, char* buffer, std::size_t size) {
  if (buffer == nullptr || size == 0) {
    return buffer;
  }
  // Without FORMAT_MESSAGE_IGNORE_INSERTS the system would read insert
  // values for texts such as "%1 is not a valid application" from a null
  // argument list.
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer,
                                      static_cast<DWORD>(size), nullptr);
  if (length == 0) {
    static constexpr char kFallback[] = "Failed to get error text";
    const std::size_t copied = std::min(size - 1, sizeof kFallback - 1);
    std::memcpy(buffer, kFallback, copied);
    buffer[copied] = '\0';
  }
  return buffer;
}

std::uint32_t lastSystemErrorCode() {
  return GetLastError();
}

}  // namespace Quor
