#include <errno.h>

#include <gtest/gtest.h>

#include "logging/last_system_error.h"
#include "logging/system_error_text.h"

namespace Quor {
namespace {

TEST(SystemErrorTextPosix, TextsOfTheCLibrary) {
  char buffer[256];
  systemErrorText(ENOENT, buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "No such file or directory");
}

TEST(LastSystemErrorPosix, ErrnoWithItsText) {
  errno = EACCES;
  const PluginError error = lastSystemError();
  EXPECT_EQ(error.code, EACCES);
  EXPECT_EQ(error.message, "Permission denied");
}

}  // namespace
}  // namespace Quor
