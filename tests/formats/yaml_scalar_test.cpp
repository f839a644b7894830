// How YAML scalars are typed, seen through whole documents.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "formats/value_text_writer.h"
#include "formats/yaml_reader.h"

namespace Quor {
namespace {

std::string readTyped(const std::string& text) {
  const ValueResult result = parseYaml(text);
  EXPECT_TRUE(result.ok()) << text << ": " << result.error();
  return valueToText(result.value(), ValueTextStyle::Typed);
}

std::string errorOf(const std::string& text) {
  const ValueResult result = parseYaml(text);
  EXPECT_FALSE(result.ok()) << text;
  return std::string(result.error());
}

TEST(YamlScalarPlain, NullWords) {
  EXPECT_EQ(readTyped("[~, null, Null, NULL, '', nULL, nil]"), "[null,null,null,null,\"\",\"nULL\",\"nil\"]");
  EXPECT_EQ(readTyped("a:"), "{\"a\":null}");
  EXPECT_EQ(readTyped("- \n- ~"), "[null,null]");
}

TEST(YamlScalarPlain, BoolWords) {
  EXPECT_EQ(readTyped("[true, True, TRUE, y, Y, yes, Yes, YES, on, On, ON]"),
            "[true,true,true,true,true,true,true,true,true,true,true]");
  EXPECT_EQ(readTyped("[false, False, FALSE, n, N, no, No, NO, off, Off, OFF]"),
            "[false,false,false,false,false,false,false,false,false,false,false]");
  EXPECT_EQ(readTyped("[tRUE, yES, oN, nO, oFF, Yes please]"), "[\"tRUE\",\"yES\",\"oN\",\"nO\",\"oFF\",\"Yes please\"]");
  EXPECT_EQ(parseYaml("a: yes").value().member("a").kind(), ValueKind::Bool);
}

TEST(YamlScalarPlain, IntegralNumbersAreUnsignedOrSignedByTheirSign) {
  EXPECT_EQ(readTyped("a: 1"), "{\"a\":u:1}");
  EXPECT_EQ(readTyped("- -3"), "[i:-3]");
  // Read as floating point first: "3.0" and "3e0" are the integer 3.
  EXPECT_EQ(readTyped("[3, 3.0, 3e0, +1, -2, 0x10, 0X1f, 0x1p4, -0, 007]"),
            "[u:3,u:3,u:3,u:1,i:-2,u:16,u:31,u:16,u:0,u:7]");
  EXPECT_EQ(readTyped("[9007199254740992, -9223372036854775808, 18446744073709549568]"),
            "[u:9007199254740992,i:-9223372036854775808,u:18446744073709549568]");
  // Short integers are read as they are, longer ones through the double.
  EXPECT_EQ(readTyped("[999999999, -999999999, -000000001, 1234567890, 12345678901234567, -, 1-2]"),
            "[u:999999999,i:-999999999,i:-1,u:1234567890,u:12345678901234568,\"-\",\"1-2\"]");
  EXPECT_EQ(parseYaml("- -3").value().element(0).kind(), ValueKind::Signed);
}

TEST(YamlScalarPlain, NumbersWithAFractionAreFloats) {
  EXPECT_EQ(readTyped("- 1.5"), "[f:1.5]");
  EXPECT_EQ(readTyped("[.5, -0.25, 1e-3, 0x1.8p0, 2.505E+2]"), "[f:0.5,f:-0.25,f:0.001,f:1.5,f:250.5]");
  const ValueResult nan = parseYaml("[nan, NaN, NAN]");
  ASSERT_TRUE(nan.ok());
  for (std::size_t index = 0; index < 3; ++index) {
    EXPECT_EQ(nan.value().element(index).kind(), ValueKind::Float);
    EXPECT_TRUE(std::isnan(nan.value().element(index).getFloat()));
  }
}

TEST(YamlScalarPlain, IntegralNumbersBeyondSixtyFourBitsStayFloats) {
  // 18446744073709551615 reads as the double 2^64, one past the unsigned range.
  EXPECT_EQ(readTyped("[1e20, 18446744073709551615, 18446744073709551616, -1e19, -9223372036854777856]"),
            "[f:1e+20,f:18446744073709551616,f:18446744073709551616,f:-1e+19,"
            "f:-9223372036854777856]");
  EXPECT_EQ(parseYaml("- 1e300").value().element(0).kind(), ValueKind::Float);
}

TEST(YamlScalarPlain, InfinitiesOfEitherSignStayText) {
  EXPECT_EQ(readTyped("[inf, -inf, +inf, Infinity, -INFINITY, 1e999, -1e999, .inf, -.inf]"),
            "[\"inf\",\"-inf\",\"+inf\",\"Infinity\",\"-INFINITY\",\"1e999\",\"-1e999\",\".inf\",\"-.inf\"]");
}

TEST(YamlScalarPlain, OtherTextIsAString) {
  EXPECT_EQ(readTyped("[abc, 1.2.3, 12abc, 0x, '-', 1_000, 0b101, 2001-12-14]"),
            "[\"abc\",\"1.2.3\",\"12abc\",\"0x\",\"-\",\"1_000\",\"0b101\",\"2001-12-14\"]");
  EXPECT_EQ(readTyped("a: b c  d"), "{\"a\":\"b c  d\"}");
}

TEST(YamlScalarStyles, QuotedAndBlockScalarsAreAlwaysStrings) {
  EXPECT_EQ(readTyped("a: '1'"), "{\"a\":\"1\"}");
  EXPECT_EQ(readTyped("[\"yes\", 'null', \"~\", '', \"1.5\", 'nan']"), "[\"yes\",\"null\",\"~\",\"\",\"1.5\",\"nan\"]");
  EXPECT_EQ(readTyped("a: |\n  12\n  34\nb: >\n  true\n  false\n"), "{\"a\":\"12\\n34\\n\",\"b\":\"true false\\n\"}");
  EXPECT_EQ(parseYaml("a: '1'").value().member("a").kind(), ValueKind::String);
}

TEST(YamlScalarStyles, TheFullTextIsKept) {
  const ValueResult result = parseYaml("a: \"x\\0y\\té\"");
  ASSERT_TRUE(result.ok()) << result.error();
  EXPECT_EQ(result.value().member("a").getString(), std::string_view("x\0y\t\xC3\xA9", 6));
}

TEST(YamlScalarTags, StrKeepsTheText) {
  EXPECT_EQ(readTyped("[!!str 1, !!str yes, !!str ~, !!str '', !<tag:yaml.org,2002:str> 2]"),
            "[\"1\",\"yes\",\"~\",\"\",\"2\"]");
}

TEST(YamlScalarTags, IntIsSignedWhenTheTextStartsWithAMinus) {
  EXPECT_EQ(readTyped("[!!int 5, !!int -5, !!int 0x10, !!int 010, !!int '', !!int ' 7', !!int -0]"),
            "[u:5,i:-5,u:16,u:8,u:0,u:7,i:0]");
  EXPECT_EQ(readTyped("[!!int 18446744073709551615, !!int -9223372036854775808]"),
            "[u:18446744073709551615,i:-9223372036854775808]");
}

TEST(YamlScalarTags, IntFailuresCarryTheConversionMessages) {
  EXPECT_EQ(errorOf("!!int abc"), "Value abc for 'yaml' of type uint64_t is in an incorrect format");
  EXPECT_EQ(errorOf("!!int -x"), "Value -x for 'yaml' of type int64_t is in an incorrect format");
  EXPECT_EQ(errorOf("a: !!int 1.5"), "Value 1.5 for 'yaml' of type uint64_t is in an incorrect format");
  EXPECT_EQ(errorOf("!!int 18446744073709551616"), "Value 18446744073709551616 for 'yaml' of type uint64_t is out of range");
  EXPECT_EQ(errorOf("!!int -9223372036854775809"), "Value -9223372036854775809 for 'yaml' of type int64_t is out of range");
  // Only a leading minus picks the signed type; after a blank it is out of
  // range for the unsigned one.
  EXPECT_EQ(errorOf("!!int ' -1'"), "Value  -1 for 'yaml' of type uint64_t is out of range");
  // An embedded NUL is a character the number does not take; the message
  // shows the text up to it.
  EXPECT_EQ(errorOf("!!int \"1\\0\""), "Value 1 for 'yaml' of type uint64_t is in an incorrect format");
}

TEST(YamlScalarTags, FloatIsADouble) {
  EXPECT_EQ(readTyped("[!!float 1.5, !!float 2, !!float -0.5e1, !!float '']"), "[f:1.5,f:2,f:-5,f:0]");
  const ValueResult nan = parseYaml("!!float nan");
  ASSERT_TRUE(nan.ok());
  EXPECT_TRUE(std::isnan(nan.value().getFloat()));
}

TEST(YamlScalarTags, FloatFailuresCarryTheConversionMessages) {
  EXPECT_EQ(errorOf("!!float abc"), "Value abc for 'yaml' of type double is in an incorrect format");
  EXPECT_EQ(errorOf("!!float 1.5x"), "Value 1.5x for 'yaml' of type double is in an incorrect format");
  EXPECT_EQ(errorOf("!!float 1e999"), "Value 1e999 for 'yaml' of type double is out of range");
  EXPECT_EQ(errorOf("!!float -inf"), "Value -inf for 'yaml' of type double is out of range");
  EXPECT_EQ(errorOf("!!float 1e-400"), "Value 1e-400 for 'yaml' of type double is out of range");
}

TEST(YamlScalarTags, BoolTakesTheWordListsAndLeavesOtherTextEmpty) {
  EXPECT_EQ(readTyped("[!!bool yes, !!bool ON, !!bool n, !!bool False, !!bool maybe, !!bool 1, !!bool '']"),
            "[true,true,false,false,null,null,null]");
}

TEST(YamlScalarTags, UnknownTagsFail) {
  EXPECT_EQ(errorOf("a: !custom x"), "Unsupported YAML tag '!custom'.");
  EXPECT_EQ(errorOf("- !!null ~"), "Unsupported YAML tag 'tag:yaml.org,2002:null'.");
  EXPECT_EQ(errorOf("! 12"), "Unsupported YAML tag '!'.");
  EXPECT_EQ(errorOf("%TAG !e! tag:example.com,2000:\n---\n!e!point 1"), "Unsupported YAML tag 'tag:example.com,2000:point'.");
}

TEST(YamlScalarTags, TagsOnCollectionsAreIgnored) {
  EXPECT_EQ(readTyped("!!seq [1]"), "[u:1]");
  EXPECT_EQ(readTyped("a: !thing {b: 1}"), "{\"a\":{\"b\":u:1}}");
}

}  // namespace
}  // namespace Quor
