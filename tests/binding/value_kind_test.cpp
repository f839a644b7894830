#include "binding/value.h"

#include <gtest/gtest.h>

namespace Quor {
namespace {

TEST(ValueKindName, NamesEveryKindAndNothingBeyond) {
  EXPECT_STREQ(valueKindName(ValueKind::Empty), "empty");
  EXPECT_STREQ(valueKindName(ValueKind::Unsigned), "unsigned");
  EXPECT_STREQ(valueKindName(ValueKind::Structure), "structure");
  EXPECT_STREQ(valueKindName(10u), "");
  EXPECT_STREQ(valueKindName(255u), "");
}

}  // namespace
}  // namespace Quor
