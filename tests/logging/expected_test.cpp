#include "logging/expected.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

namespace Quor {
namespace {

PluginError failure(const char* message, std::int32_t code) {
  PluginError error;
  error.message = message;
  setCode(error, code);
  return error;
}

Expected<int> half(int number) {
  if (number % 2 != 0) return failure("odd", 3);
  return number / 2;
}

Expected<void> check(bool good) {
  if (!good) return failure("bad", 4);
  return {};
}

TEST(ExpectedValue, HoldsTheValueOrTheError) {
  const Expected<int> good = half(8);
  ASSERT_TRUE(good.hasValue());
  EXPECT_TRUE(static_cast<bool>(good));
  EXPECT_EQ(good.value(), 4);
  EXPECT_EQ(*good, 4);

  const Expected<int> bad = half(7);
  ASSERT_FALSE(bad.hasValue());
  EXPECT_FALSE(static_cast<bool>(bad));
  EXPECT_EQ(bad.error().code, 3);
  EXPECT_EQ(bad.error().message, "odd");
}

TEST(ExpectedValue, MoveOnlyValuesAndInPlaceConstruction) {
  Expected<std::unique_ptr<int>> owned(std::make_unique<int>(5));
  ASSERT_TRUE(owned.hasValue());
  std::unique_ptr<int> taken = std::move(owned).value();
  EXPECT_EQ(*taken, 5);

  const Expected<std::string> text(std::in_place, 3, 'x');
  EXPECT_EQ(text->size(), 3u);
  EXPECT_EQ(*text, "xxx");
}

Expected<std::string> greeting(bool polite) {
  if (!polite) return failure("rude", 1);
  return "hello";
}

TEST(ExpectedValue, BuildsTheValueFromWhatConvertsToIt) {
  EXPECT_EQ(greeting(true).value(), "hello");
  EXPECT_EQ(greeting(false).error().message, "rude");
  const Expected<double> number = 3;
  EXPECT_EQ(number.value(), 3.0);
}

TEST(ExpectedValue, TheErrorCanBeTakenOver) {
  Expected<std::string> failed = failure("gone", 8);
  PluginError error = std::move(failed).error();
  EXPECT_EQ(error.message, "gone");
  EXPECT_EQ(error.code, 8);
}

TEST(ExpectedVoid, SuccessOrError) {
  const Expected<void> good = check(true);
  EXPECT_TRUE(good.hasValue());
  const Expected<void> bad = check(false);
  ASSERT_FALSE(bad.hasValue());
  EXPECT_EQ(bad.error().message, "bad");
  EXPECT_EQ(textForm(bad.error()), R"({"message":"bad","errorCode_int":4})");
}

}  // namespace
}  // namespace Quor
