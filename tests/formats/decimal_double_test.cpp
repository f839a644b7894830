// The YAML reader's own decimal reading against the C library's strtod,
// which it stands in for: the same double, bit for bit, or no answer.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "formats/decimal_double.h"

namespace Quor {
namespace {

std::uint64_t bitsOf(double number) {
  std::uint64_t bits;
  std::memcpy(&bits, &number, sizeof bits);
  return bits;
}

// True when readDecimalDouble answers exactly what strtod reads from the
// whole text; false when it leaves the text to strtod.
bool readsAsStrtod(const std::string& text) {
  double number = 0;
  if (!readDecimalDouble(text, number)) return false;
  char* end = nullptr;
  const double expected = std::strtod(text.c_str(), &end);
  EXPECT_EQ(*end, '\0') << text;
  EXPECT_EQ(bitsOf(number), bitsOf(expected)) << text;
  return true;
}

TEST(DecimalDouble, ReadsPlainDecimalsExactlyAndLeavesTheRestToStrtod) {
  struct Case {
    std::string text;
    bool read;
  };
  const Case cases[] = {
      // Rounding at the edges: ties to even, the largest and smallest
      // doubles, subnormals, and the boundaries where the result overflows
      // or vanishes.
      {"9007199254740993", true}, {"9007199254740995", true}, {"4503599627370497.5", true},
      {"1.7976931348623157e308", true}, {"1.7976931348623159e308", true}, {"1e309", true},
      {"2.2250738585072011e-308", true}, {"2.2250738585072014e-308", true}, {"4.9406564584124654e-324", true},
      {"2.4703282292062327e-324", true}, {"2.4703282292062328e-324", true}, {"1e-400", true},
      {"-65.613616999999977", true}, {"0.1", true}, {"1e23", true}, {"-0", true}, {"0.000", true},
      {"00012.50", true}, {"7.", true}, {".5", true}, {"3e0", true}, {"1E+5", true}, {"1234567890123456789", true},
      {"-1e100000000000", true},
      // Not plain decimals, or more digits than 64 bits hold: strtod's.
      {"12345678901234567890", false}, {"0x10", false}, {"+1", false}, {".", false}, {"1e", false},
      {"1e+", false}, {"-", false}, {"", false}, {"nan", false}, {"inf", false}, {"1.2.3", false},
      {"1_000", false}, {"1e5x", false},
      // Characters just outside the digits, inside a run of four read at once.
      {"1234:678", false}, {"12.3/5678", false}, {"-98.7654321", true},
  };
  for (const Case& testCase : cases) EXPECT_EQ(readsAsStrtod(testCase.text), testCase.read) << testCase.text;
  // A NUL inside the text is text beyond the number.
  EXPECT_FALSE(readsAsStrtod(std::string("1\0" "2", 3)));
}

TEST(DecimalDouble, AgreesWithStrtodOnRandomDecimals) {
  std::mt19937 random(20261207);
  int read = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string digits;
    const int count = 1 + static_cast<int>(random() % 19);
    for (int index = 0; index < count; ++index) digits += static_cast<char>('0' + random() % 10);
    const int point = static_cast<int>(random() % (count + 1));
    std::string text = (random() % 2 != 0 ? "-" : "") + digits.substr(0, point) + "." + digits.substr(point);
    if (random() % 2 != 0) text += "e" + std::to_string(static_cast<int>(random() % 700) - 360);
    if (readsAsStrtod(text)) ++read;
  }
  EXPECT_EQ(read, 20000);
}

}  // namespace
}  // namespace Quor
