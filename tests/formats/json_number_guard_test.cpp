// Numbers whose negative exponent nears the 32-bit limit made the tokenizer's
// exponent sum wrap and index its power-of-ten table out of range. In the
// sanitizer build any such lookup stops the test run.

#include "formats/json_number_guard.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <utility>

#include "formats/json_reader.h"

namespace Quor {
namespace {

double readFloat(const std::string& text) {
  const ValueResult result = parseJson(text.c_str());
  EXPECT_TRUE(result.ok()) << text << ": " << result.error();
  EXPECT_EQ(result.value().kind(), ValueKind::Float) << text;
  return result.value().getFloat(-1.0);
}

TEST(JsonHugeExponent, NumbersThatWrappedTheExponentReadAsZero) {
  for (const char* text : {"1.0000000000e-2147483639", "1.0000000000E-2147483639", "0.00000000000000000001e-2147483647",
                           "123456789.123456789e-2147483648", "9.99999999999999999999e-99999999999999999999",
                           "1.5e-2147483649", "0.1e-4294967296"}) {
    const double value = readFloat(text);
    EXPECT_EQ(value, 0.0) << text;
    EXPECT_FALSE(std::signbit(value)) << text;
  }
}

TEST(JsonHugeExponent, NegativeNumbersKeepTheirSign) {
  const double value = readFloat("-1.0000000000e-2147483639");
  EXPECT_EQ(value, 0.0);
  EXPECT_TRUE(std::signbit(value));
}

TEST(JsonHugeExponent, ExponentsFromTenThousandUpAreAllZero) {
  EXPECT_EQ(readFloat("1e-10000"), 0.0);
  EXPECT_EQ(readFloat("1.7976931348623157e-99999"), 0.0);
  // A mantissa of 308 digits, the longest the tokenizer accepts.
  EXPECT_EQ(readFloat(std::string(308, '9') + "e-10000"), 0.0);
  EXPECT_EQ(parseJson((std::string(309, '9') + "e-10000").c_str()).error(),
            "Error: Number too big to be stored in double. at offset 0.");
}

TEST(JsonHugeExponent, LeadingZerosDoNotMakeAnExponentHuge) {
  EXPECT_DOUBLE_EQ(readFloat("1.5e-000000000000000000005"), 1.5e-5);
  EXPECT_DOUBLE_EQ(readFloat("25e-0000000000000000000000000000000001"), 2.5);
}

TEST(JsonHugeExponent, ValuesAroundTheNumbersAreReadUnchanged) {
  const ValueResult result =
      parseJson(R"({"1e-99999":["1.0e-2147483639",1.0000000000e-2147483639,-7,"x\"1e-99999"],"b":2.5e-3})");
  ASSERT_TRUE(result.ok()) << result.error();
  const Value& list = result.value().member("1e-99999");
  EXPECT_EQ(list.element(0).getString(), "1.0e-2147483639");
  EXPECT_EQ(list.element(1).getFloat(-1), 0.0);
  EXPECT_EQ(list.element(2).getSigned(), -7);
  EXPECT_EQ(list.element(3).getString(), "x\"1e-99999");
  EXPECT_DOUBLE_EQ(result.value().member("b").getFloat(), 2.5e-3);
}

TEST(JsonHugeExponent, ErrorOffsetsAfterARewrittenNumberStayTheSame) {
  const ValueResult result = parseJson("[1.0000000000e-2147483639, x]");
  EXPECT_EQ(result.error(), "Error: Invalid value. at offset 27.");
  const ValueResult trailing = parseJson("1e-99999999 2");
  EXPECT_EQ(trailing.error(), "Error: The document root must not follow by other values. at offset 12.");
}

// Many negative numbers: the scan looks for exponent letters instead of "-".
std::string denseNegatives(const char* last) {
  std::string text = "[";
  for (int index = 0; index < 100; ++index) text += "-1,";
  return text + last + "]";
}

TEST(JsonHugeExponentRewrite, TextWithoutHugeNegativeExponentsIsLeftAlone) {
  const std::string dense = denseNegatives("-2E-9999");
  for (const char* text : {R"([1e-9999, 1e+99999, "-", -1, 2e-0000000000001])", R"(["1e-99999", {"2E-123456": 0}])",
                           "", dense.c_str()}) {
    std::string rewritten = "untouched";
    EXPECT_FALSE(rewriteHugeNegativeExponents(text, std::strlen(text), rewritten)) << text;
    EXPECT_EQ(rewritten, "untouched");
  }
}

TEST(JsonHugeExponentRewrite, OnlyExponentsOfNumbersOutsideStringsChange) {
  const std::pair<std::string, std::string> cases[] = {
      {R"(["1e-99999\"",-2.50E-0012345678,"\\",3e-10000])", R"(["1e-99999\"",-2.50E-0000009999,"\\",3e-09999])"},
      {denseNegatives("-2E-12345"), denseNegatives("-2E-09999")},
  };
  for (const auto& [text, expected] : cases) {
    std::string rewritten;
    ASSERT_TRUE(rewriteHugeNegativeExponents(text.c_str(), text.size(), rewritten)) << text;
    EXPECT_EQ(rewritten, expected);
  }
}

TEST(JsonHugeExponentRewrite, TheTextEndsAtItsLength) {
  const std::string text("1e-99999\0 2e-99999", 18);
  std::string rewritten;
  ASSERT_TRUE(rewriteHugeNegativeExponents(text.c_str(), 8, rewritten));
  EXPECT_EQ(rewritten, "1e-09999");
}

}  // namespace
}  // namespace Quor
