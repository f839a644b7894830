#include <errno.h>
#include <string.h>

#include <algorithm>
#include <cstring>

#include "logging/system_error_text.h"

namespace Quor {

// Natively the texts are the C library's error descriptions (no trailing
// line break); as on Windows, a code without a description, or a text that
// does not fit, gives the fallback.
char* systemErrorText(std::uint32_t code, char* buffer, std::size_t size) {
  if (buffer == nullptr || size == 0) {
    return buffer;
  }
  const char* text = code <= 0x7FFFFFFF ? strerrordesc_np(static_cast<int>(code)) : nullptr;
  if (text == nullptr || std::strlen(text) >= size) {
    text = "Failed to get error text";
  }
  const std::size_t copied = std::min(size - 1, std::strlen(text));
  std::memcpy(buffer, text, copied);
  buffer[copied] = '\0';
  return buffer;
}

std::uint32_t lastSystemErrorCode() {
  return static_cast<std::uint32_t>(errno);
}

}  // namespace Quor
