#include <windows.h>

#include "platform_test_support.h"

namespace Quor {

void setLastSystemErrorCodeForTest(std::uint32_t code) {
  SetLastError(code);
}

std::uint32_t systemThreadIdForTest() {
  return GetCurrentThreadId();
}

}  // namespace Quor
