#include <errno.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform_test_support.h"

namespace Quor {

void setLastSystemErrorCodeForTest(std::uint32_t code) {
  errno = static_cast<int>(code);
}

std::uint32_t systemThreadIdForTest() {
  return static_cast<std::uint32_t>(syscall(SYS_gettid));
}

}  // namespace Quor
