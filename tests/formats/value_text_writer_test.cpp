#include "formats/value_text_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "small_stack_thread.h"

namespace Quor {
namespace {

std::string typedText(const Value& value) { return valueToText(value, ValueTextStyle::Typed); }
std::string plainText(const Value& value) { return valueToText(value, ValueTextStyle::Json); }

Value sample() {
  Value value;
  value.writeMember("b").appendElement().setSigned(std::int64_t{-2});
  value.writeMember("b").appendElement().setFloat(2.5);
  value.writeMember("b").appendElement();
  value.writeMember("a").setUnsigned(std::uint64_t{1});
  return value;
}

TEST(ValueTextTyped, ScalarsCarryTheirKind) {
  EXPECT_EQ(typedText(sample()), R"({"a":u:1,"b":[i:-2,f:2.5,null]})");
}

TEST(ValueTextPlain, ScalarsAreJson) {
  EXPECT_EQ(plainText(sample()), R"({"a":1,"b":[-2,2.5,null]})");
}

TEST(ValueTextTyped, IntegerExtremes) {
  Value value;
  value.appendElement().setSigned(std::numeric_limits<std::int64_t>::min());
  value.appendElement().setUnsigned(std::numeric_limits<std::uint64_t>::max());
  value.appendElement().setSigned(std::int64_t{0});
  value.appendElement().setUnsigned(std::uint64_t{0});
  EXPECT_EQ(typedText(value), "[i:-9223372036854775808,u:18446744073709551615,i:0,u:0]");
  EXPECT_EQ(plainText(value), "[-9223372036854775808,18446744073709551615,0,0]");
}

TEST(ValueTextTyped, FloatsUseTheShortestRoundTripText) {
  Value value;
  for (double number : {0.1, 100.0, 1e21, -0.0, 5e-324, 0.30000000000000004}) value.appendElement().setFloat(number);
  EXPECT_EQ(typedText(value), "[f:0.1,f:100,f:1e+21,f:-0,f:5e-324,f:0.30000000000000004]");
}

TEST(ValueTextFloats, NonFiniteFloats) {
  Value value;
  value.appendElement().setFloat(std::numeric_limits<double>::quiet_NaN());
  value.appendElement().setFloat(std::numeric_limits<double>::infinity());
  value.appendElement().setFloat(-std::numeric_limits<double>::infinity());
  EXPECT_EQ(typedText(value), "[f:nan,f:inf,f:-inf]");
  EXPECT_EQ(plainText(value), "[null,null,null]");
}

TEST(ValueTextBlobsAndEnums, TaggedOrAsBase64TextAndNumber) {
  static const std::uint32_t typeHash = 0x12345678;
  Value value;
  value.writeMember("blob").setBlob("hello", 5);
  value.writeMember("empty blob").setBlob(std::vector<std::uint8_t>{});
  value.writeMember("enum").setEnum(EnumValue{-3, &typeHash});
  EXPECT_EQ(typedText(value), R"({"blob":b:aGVsbG8=,"empty blob":b:,"enum":e:-3})");
  EXPECT_EQ(plainText(value), R"({"blob":"aGVsbG8=","empty blob":"","enum":-3})");
}

TEST(ValueTextStrings, EscapedAsJsonStrings) {
  Value value;
  value.writeMember("q\"").setString(std::string_view("a\\b\n\x01\0z", 7));
  value.writeMember("e").setString("");
  const std::string expected = R"({"e":"","q\"":"a\\b\n\u0001\u0000z"})";
  EXPECT_EQ(typedText(value), expected);
  EXPECT_EQ(plainText(value), expected);
}

TEST(ValueTextStructure, MembersInNameOrderAndEmptyValues) {
  Value value;
  value.writeMember("zeta").setBool(false);
  value.writeMember("Alpha").setBool(true);
  value.writeMember("alpha").makeCollection();
  value.writeMember("beta").makeStructure();
  EXPECT_EQ(typedText(value), R"({"Alpha":true,"alpha":[],"beta":{},"zeta":false})");
  EXPECT_EQ(typedText(Value()), "null");
  EXPECT_EQ(plainText(Value()), "null");
}

TEST(ValueTextStructure, DeepTreesAreWrittenWithoutRecursion) {
  // Far deeper than any reader produces, and written on a small stack.
  constexpr int depth = 8000;
  Value root;
  Value* innermost = &root;
  for (int level = 0; level < depth; ++level) {
    innermost = level % 2 == 0 ? &innermost->appendElement() : &innermost->writeMember("k");
  }
  innermost->setUnsigned(std::uint32_t{7});
  std::string text;
  ASSERT_TRUE(Testing::runOnSmallStack(128 * 1024, [&] { text = typedText(root); }));
  std::string expected;
  for (int level = 0; level < depth; ++level) expected += level % 2 == 0 ? "[" : R"({"k":)";
  expected += "u:7";
  for (int level = depth - 1; level >= 0; --level) expected += level % 2 == 0 ? "]" : "}";
  EXPECT_EQ(text, expected);
}

}  // namespace
}  // namespace Quor
