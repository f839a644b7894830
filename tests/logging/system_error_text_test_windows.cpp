#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "logging/last_system_error.h"
#include "logging/system_error_text.h"

namespace Quor {
namespace {

TEST(SystemErrorTextWindows, SystemTextKeepsItsLineBreak) {
  char buffer[256];
  systemErrorText(ERROR_FILE_NOT_FOUND, buffer, sizeof buffer);
  char expected[256];
  ASSERT_NE(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_FILE_NOT_FOUND,
                           MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), expected, sizeof expected, nullptr),
            0u);
  EXPECT_STREQ(buffer, expected);
  const std::string text = buffer;
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

TEST(SystemErrorTextWindows, InsertSequencesStayInTheText) {
  char buffer[256];
  systemErrorText(ERROR_BAD_EXE_FORMAT, buffer, sizeof buffer);
  EXPECT_NE(std::strstr(buffer, "%1"), nullptr) << buffer;
}

TEST(LastSystemErrorWindows, ThreadsLastErrorWithItsText) {
  SetLastError(ERROR_ACCESS_DENIED);
  const PluginError error = lastSystemError();
  char expected[256];
  systemErrorText(ERROR_ACCESS_DENIED, expected, sizeof expected);
  EXPECT_EQ(error.code, 5);
  EXPECT_EQ(error.message, expected);
  EXPECT_NE(error.message, "Failed to get error text");
}

TEST(LastSystemErrorWindows, NoErrorHasNoCode) {
  SetLastError(ERROR_SUCCESS);
  const PluginError error = lastSystemError();
  EXPECT_EQ(error.code, 0);
  EXPECT_TRUE(error.fields.empty());
}

}  // namespace
}  // namespace Quor
