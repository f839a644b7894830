#include "logging/system_error_text.h"

#include <gtest/gtest.h>

#include <cstring>

#include "logging/last_system_error.h"
#include "platform_test_support.h"

namespace Quor {
namespace {

// A code with the customer bit set: the system has no text for it.
constexpr std::uint32_t kUnknownCode = 0x2000FFFF;

TEST(SystemErrorText, UnknownCodeGivesTheFallback) {
  char buffer[256];
  EXPECT_EQ(systemErrorText(kUnknownCode, buffer, sizeof buffer), buffer);
  EXPECT_STREQ(buffer, "Failed to get error text");
}

TEST(SystemErrorText, FallbackIsCutToTheBuffer) {
  char storage[16];
  std::memset(storage, 'Z', sizeof storage);
  systemErrorText(kUnknownCode, storage, 7);
  EXPECT_STREQ(storage, "Failed");
  for (std::size_t i = 7; i < sizeof storage; ++i) {
    EXPECT_EQ(storage[i], 'Z');
  }
  systemErrorText(kUnknownCode, storage, 1);
  EXPECT_STREQ(storage, "");
  storage[0] = 'Z';
  systemErrorText(kUnknownCode, storage, 0);
  EXPECT_EQ(storage[0], 'Z');
  EXPECT_EQ(systemErrorText(kUnknownCode, nullptr, 16), nullptr);
}

TEST(SystemErrorText, KnownCodeHasATextOfItsOwn) {
  char buffer[256];
  systemErrorText(2, buffer, sizeof buffer);
  EXPECT_STRNE(buffer, "Failed to get error text");
  EXPECT_GT(std::strlen(buffer), 0u);
}

TEST(SystemErrorText, TextThatDoesNotFitGivesTheCutFallback) {
  char buffer[12];
  systemErrorText(2, buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "Failed to g");
}

TEST(LastSystemError, UnknownCodeBecomesCodeFieldAndFallbackMessage) {
  setLastSystemErrorCodeForTest(kUnknownCode);
  const PluginError error = lastSystemError();
  EXPECT_EQ(error.code, static_cast<std::int32_t>(kUnknownCode));
  EXPECT_EQ(error.message, "Failed to get error text");
  EXPECT_EQ(textForm(error), "{\"message\":\"Failed to get error text\",\"errorCode_int\":536936447}");
}

}  // namespace
}  // namespace Quor
