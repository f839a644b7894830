#include "binding/format_message.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

namespace Quor {
namespace {

using std::int32_t;
using std::int64_t;
using std::uint32_t;
using std::uint64_t;

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// ---- Documented edge cases ------------------------------------------------------

TEST(FormatMessage, PositionalTexts) {
  EXPECT_EQ(FormatMessage("%1 (%2)", "1.0", "Windows"), "1.0 (Windows)");
}

TEST(FormatMessage, PositionsInAnyOrderAndRepeated) {
  EXPECT_EQ(FormatMessage("%2 before %1", "first", "second"), "second before first");
  EXPECT_EQ(FormatMessage("%1 and %1 again", "one"), "one and one again");
  EXPECT_EQ(FormatMessage("%3%2%1", 1, 2, 3), "321");
}

TEST(FormatMessage, DoublePercentWritesOne) {
  EXPECT_EQ(FormatMessage("100%%", 1), "100%");
  EXPECT_EQ(FormatMessage("%%", 1), "%");
  EXPECT_EQ(FormatMessage("%%1 is %1", 7), "%1 is 7");
  EXPECT_EQ(FormatMessage("%1%%", 50), "50%");
}

TEST(FormatMessage, OutOfRangeMessage) {
  EXPECT_EQ(FormatMessage("Value %1 for '%2' of type %3 is out of range", int64_t{-5}, "x", "uint8"),
            "Value -5 for 'x' of type uint8 is out of range");
}

TEST(FormatMessage, BareDoubleUsesG) {
  EXPECT_EQ(FormatMessage("%1", 0.5), "0.5");
  EXPECT_EQ(FormatMessage("%1", 1e20), "1e+20");
  EXPECT_EQ(FormatMessage("%1", 1e-5), "1e-05");
  EXPECT_EQ(FormatMessage("%1", 1e100), "1e+100");
  EXPECT_EQ(FormatMessage("%1", 123456.0), "123456");
  EXPECT_EQ(FormatMessage("%1", 1234567.0), "1.23457e+06");
  EXPECT_EQ(FormatMessage("%1", -0.25), "-0.25");
}

TEST(FormatMessage, ThirdSequentialPlaceholderWithoutArgumentEndsTheText) {
  EXPECT_EQ(FormatMessage("%d and %d and %d!", int32_t{1}, int32_t{2}), "1 and 2 and ");
}

TEST(FormatMessage, PositionBeyondCountBecomesWidth) {
  // "%3 ": 3 > 2 arguments, so "3" is a width and " " the conversion, which
  // gives way to "s"; the argument is the first in sequence.
  EXPECT_EQ(FormatMessage("%3 ", "a", "b"), "  a");
  EXPECT_EQ(FormatMessage("[%3 ]", "a", "b"), "[  a]");
  // "%5$d" with two arguments: width 5, conversion "$" -> "d", then "d".
  EXPECT_EQ(FormatMessage("%5$d", int32_t{42}, int32_t{7}), "   42d");
  // A position of 2^32 + 1 is large, not 1: its digits less the last are a
  // width that fills the buffer.
  EXPECT_EQ(FormatMessage("x%4294967297", "a").size(), 4095u);
  EXPECT_EQ(FormatMessage("x%4294967297$d", int32_t{1}).size(), 4095u);
}

TEST(FormatMessage, ExplicitPositionWithWidth) {
  EXPECT_EQ(FormatMessage("%1$5d", int32_t{42}), "   42");
  // "s" is not accepted for integers: written with "d".
  EXPECT_EQ(FormatMessage("%1$5s", int32_t{42}), "   42");
}

TEST(FormatMessage, LongResultIsCutAt4095) {
  const std::string format(5000, 'x');
  const std::string result = FormatMessage(format, 1);
  EXPECT_EQ(result.size(), 4095u);
  EXPECT_EQ(result, std::string(4095, 'x'));

  const std::string longText(5000, 'y');
  EXPECT_EQ(FormatMessage("%1", longText), std::string(4095, 'y'));
  EXPECT_EQ(FormatMessage("ab%1cd", longText), "ab" + std::string(4093, 'y'));
}

// ---- Further behaviour ----------------------------------------------------------

TEST(FormatMessage, StarWidthFromAnArgument) {
  EXPECT_EQ(FormatMessage("[%*d]", int32_t{5}, int32_t{42}), "[   42]");
  EXPECT_EQ(FormatMessage("[%-*d]", int32_t{5}, int32_t{42}), "[42   ]");
  // A negative width means left alignment.
  EXPECT_EQ(FormatMessage("[%*d]", int32_t{-5}, int32_t{42}), "[42   ]");
  // "*N$" names the argument holding the width; the value comes by position.
  EXPECT_EQ(FormatMessage("[%1$*2$d]", int32_t{42}, uint32_t{6}), "[    42]");
  // Precision from an argument, for text.
  EXPECT_EQ(FormatMessage("[%.*s]", int32_t{3}, "abcdef"), "[abc]");
  // Width and precision both from arguments.
  EXPECT_EQ(FormatMessage("[%*.*f]", int32_t{8}, int32_t{2}, 3.14159), "[    3.14]");
  // A negative precision counts as none.
  EXPECT_EQ(FormatMessage("[%.*s]", int32_t{-1}, "abcdef"), "[abcdef]");
  // 64-bit arguments give their low 32 bits.
  EXPECT_EQ(FormatMessage("[%*d]", int64_t{0x100000004LL}, int32_t{7}), "[   7]");
  EXPECT_EQ(FormatMessage("[%*d]", uint64_t{3}, int32_t{7}), "[  7]");
  EXPECT_EQ(FormatMessage("[%*d]", 3ul, int32_t{7}), "[  7]");
}

TEST(FormatMessage, StarWithUnusableArgumentStops) {
  EXPECT_EQ(FormatMessage("a%*db", "x", int32_t{5}), "a");
  EXPECT_EQ(FormatMessage("a%*db", 2.0, int32_t{5}), "a");
  EXPECT_EQ(FormatMessage("a%.*fb", "x", 1.5), "a");
  // The star's argument does not exist.
  EXPECT_EQ(FormatMessage("a%*db", int32_t{5}), "a");
  EXPECT_EQ(FormatMessage("a%1$*3$db", int32_t{5}, int32_t{6}), "a");
  EXPECT_EQ(FormatMessage("a%1$*0$db", int32_t{5}), "a");
}

TEST(FormatMessage, SixtyFourBitWithLl) {
  EXPECT_EQ(FormatMessage("%lld", std::numeric_limits<int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(FormatMessage("%lld", std::numeric_limits<int64_t>::max()), "9223372036854775807");
  EXPECT_EQ(FormatMessage("%llu", std::numeric_limits<uint64_t>::max()), "18446744073709551615");
  EXPECT_EQ(FormatMessage("%1$llx", uint64_t{0x123456789ABCDEFULL}), "123456789abcdef");
  EXPECT_EQ(FormatMessage("%1$20lld|", int64_t{-1}), "                  -1|");
}

TEST(FormatMessage, SixtyFourBitExtremesThroughBarePlaceholders) {
  EXPECT_EQ(FormatMessage("%1", std::numeric_limits<int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(FormatMessage("%1", std::numeric_limits<int64_t>::max()), "9223372036854775807");
  EXPECT_EQ(FormatMessage("%1", std::numeric_limits<uint64_t>::max()), "18446744073709551615");
  EXPECT_EQ(FormatMessage("%1", uint64_t{0}), "0");
  EXPECT_EQ(FormatMessage("%1 %2", std::numeric_limits<int32_t>::min(), std::numeric_limits<uint32_t>::max()),
            "-2147483648 4294967295");
  EXPECT_EQ(FormatMessage("%1", 4000000000ul), "4000000000");
}

TEST(FormatMessage, LengthModifierSelectsTheTypeRead) {
  // Without "ll" a 64-bit argument gives its low 32 bits.
  EXPECT_EQ(FormatMessage("%1$d", int64_t{0x100000005LL}), "5");
  EXPECT_EQ(FormatMessage("%d", int64_t{-5}), "-5");
  // A 32-bit argument with "ll" is extended, never read past.
  EXPECT_EQ(FormatMessage("%lld", int32_t{-1}), "-1");
  EXPECT_EQ(FormatMessage("%llu", uint32_t{4294967295u}), "4294967295");
  EXPECT_EQ(FormatMessage("%jd %zu %td", int32_t{-3}, uint32_t{4}, int32_t{-5}), "-3 4 -5");
  EXPECT_EQ(FormatMessage("%hhd %hu", int32_t{300}, uint32_t{65537}), "44 1");
  EXPECT_EQ(FormatMessage("%lu", 4000000000ul), "4000000000");
  // "L" with a double: long double.
  EXPECT_EQ(FormatMessage("%Lg", 0.5), "0.5");
  // A modifier on text is ignored: the text is never read as a wide one.
  EXPECT_EQ(FormatMessage("%ls|%1$lls", "narrow"), "narrow|narrow");
}

TEST(FormatMessage, MixOfPositionalAndOrdinaryPlaceholders) {
  // "%2" does not move the sequence counter: "%s" takes argument 1, "%d" argument 2.
  EXPECT_EQ(FormatMessage("%2: %s=%d", "name", int32_t{7}), "7: name=7");
  EXPECT_EQ(FormatMessage("%1$s is %2$04d, %s again", "id", int32_t{42}), "id is 0042, id again");
  EXPECT_EQ(FormatMessage("%s/%1/%s", "a", "b"), "a/a/b");
}

TEST(FormatMessage, ConversionLettersOfEachType) {
  EXPECT_EQ(FormatMessage("%1$x %1$X %1$o %1$u", int32_t{255}), "ff FF 377 255");
  EXPECT_EQ(FormatMessage("%1$i %1$c", int32_t{65}), "65 A");
  EXPECT_EQ(FormatMessage("%1$d", uint32_t{4294967295u}), "-1");
  // The C standard's reading where the C libraries differ: "+" and " " only
  // for signed conversions, "%#.0o" of 0 is "0", "%c" takes no modifier.
  EXPECT_EQ(FormatMessage("[%1$ u][%1$+x][% d]", int32_t{7}), "[7][7][ 7]");
  EXPECT_EQ(FormatMessage("[%1$#.0o][%1$.0o]", uint32_t{0}), "[0][]");
  EXPECT_EQ(FormatMessage("[%1$lc][%1$3lc]", int32_t{0x41}), "[A][  A]");
  EXPECT_EQ(FormatMessage("[%1$05s][%1$+s]", "ab"), "[   ab][ab]");
  EXPECT_EQ(FormatMessage("%1$#x", uint32_t{255}), "0xff");
  EXPECT_EQ(FormatMessage("%1$+d %2$ d", int32_t{5}, int32_t{6}), "+5  6");
  EXPECT_EQ(FormatMessage("%1$.3f %1$e %1$E %1$G", 2.5), "2.500 2.500000e+00 2.500000E+00 2.5");
  EXPECT_EQ(FormatMessage("%1$F", 1.5), "1.500000");
  EXPECT_EQ(lower(FormatMessage("%1$a", 1.0)), "0x1p+0");
  // A letter a type does not accept gives way to its default.
  EXPECT_EQ(FormatMessage("%1$5q|", int32_t{3}), "    3|");
  EXPECT_EQ(FormatMessage("%1$d", "text"), "text");
  EXPECT_EQ(FormatMessage("%1$x", 0.5), "0.5");
  EXPECT_EQ(FormatMessage("%1$n", int32_t{9}), "9");
  // The unaccepted letter may be a digit following a bare "*".
  EXPECT_EQ(FormatMessage("[%*5]", int32_t{3}, int32_t{8}), "[  8]");
}

TEST(FormatMessage, TextArgumentsOfEveryForm) {
  const char* pointer = "ptr";
  char mutableArray[8] = "arr";
  const std::string object = "obj";
  const std::string_view part = std::string_view("viewXYZ").substr(0, 4);
  EXPECT_EQ(FormatMessage("%1 %2 %3", pointer, mutableArray, object), "ptr arr obj");
  EXPECT_EQ(FormatMessage("%1|", part), "view|");
  const char* nullText = nullptr;
  EXPECT_EQ(FormatMessage("%1", nullText), "(null)");
  // A character array without NUL is read only up to its end.
  const char unterminated[3] = {'a', 'b', 'c'};
  EXPECT_EQ(FormatMessage("%1|", unterminated), "abc|");
  EXPECT_EQ(FormatMessage("[%1$-6s][%1$6.2s]", "abc"), "[abc   ][    ab]");
  // The format may be a string object or view.
  EXPECT_EQ(FormatMessage(std::string("<%1>"), "x"), "<x>");
  EXPECT_EQ(FormatMessage(std::string_view("<%1>trailing").substr(0, 4), "x"), "<x>");
  const char* nullFormat = nullptr;
  EXPECT_EQ(FormatMessage(nullFormat, 1), "");
}

TEST(FormatMessage, UnreadablePlaceholderStops) {
  // "%" + 58 flags + "d" = 60 characters: unreadable.
  EXPECT_EQ(FormatMessage("x%" + std::string(58, '-') + "dy", int32_t{5}), "x");
  // 59 characters are still readable.
  EXPECT_EQ(FormatMessage("x%" + std::string(57, '-') + "dy", int32_t{5}), "x5y");
  // The "N$" of an explicit position is not counted in the placeholder's length.
  EXPECT_EQ(FormatMessage("x%1$" + std::string(57, '-') + "dy", int32_t{5}), "x5y");
  EXPECT_EQ(FormatMessage("x%1$" + std::string(58, '-') + "dy", int32_t{5}), "x");
  // A long width of digits.
  EXPECT_EQ(FormatMessage("x%" + std::string(60, '1') + "dy", int32_t{5}), "x");
}

TEST(FormatMessage, TextEndingInsideAPlaceholder) {
  // The placeholder's last character is its conversion, and gives way to
  // the default one when the type does not accept it; a lone "%" ends the text.
  struct Case {
    const char* format;
    const char* expected;
  };
  const Case withNumber[] = {
      {"abc%", "abc"}, {"abc%1$", "abc"}, {"abc%-5", "abc5"}, {"abc%2", "abc5"},
      {"abc%.", "abc5"}, {"abc%ll", "abc5"},
  };
  for (const Case& c : withNumber) EXPECT_EQ(FormatMessage(c.format, int32_t{5}), c.expected) << c.format;
  EXPECT_EQ(FormatMessage("x%12", "ab"), "xab");
  EXPECT_EQ(FormatMessage("x%45", "ab"), "x  ab");
}

TEST(FormatMessage, MissingArgumentStops) {
  EXPECT_EQ(FormatMessage("a%db%dc", int32_t{1}), "a1b");
  // "%2" with one argument: width 2, conversion " ", argument 1 in sequence.
  EXPECT_EQ(FormatMessage("a %2 b", "x"), "a  xb");
}

TEST(FormatMessage, OutputOfExactly4095) {
  const std::string text(4094, 'z');
  const std::string result = FormatMessage("%1!", text);
  ASSERT_EQ(result.size(), 4095u);
  EXPECT_EQ(result.back(), '!');
  EXPECT_EQ(FormatMessage("%1", std::string(4095, 'z')), std::string(4095, 'z'));
  // A placeholder that fills the buffer exactly, then more text.
  EXPECT_EQ(FormatMessage("%1$4095d-", int32_t{1}).size(), 4095u);
  EXPECT_EQ(FormatMessage("%1$4095d-", int32_t{1}).back(), '1');
}

TEST(FormatMessage, DoublesDoNotCrash) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(FormatMessage("%1", nan), "nan");
  // NaN is written without its sign in both builds (0.0 / 0.0 sets it on x86).
  EXPECT_EQ(FormatMessage("%1 %1$+f %1$E", -nan), "nan +nan NAN");
  volatile double zero = 0.0;
  EXPECT_EQ(FormatMessage("%1", zero / zero), "nan");
  EXPECT_EQ(lower(FormatMessage("%1", inf)), "inf");
  EXPECT_EQ(lower(FormatMessage("%1", -inf)), "-inf");
  EXPECT_EQ(lower(FormatMessage("%1$10.3f|", inf)), "       inf|");
  EXPECT_FALSE(FormatMessage("%1$e %1$a %1$Lf", nan).empty());
  EXPECT_EQ(FormatMessage("%1", std::numeric_limits<double>::denorm_min()), "4.94066e-324");
  EXPECT_EQ(FormatMessage("%1", std::numeric_limits<double>::max()), "1.79769e+308");
  EXPECT_EQ(FormatMessage("%1$f", std::numeric_limits<double>::max()).size(), 316u);
  EXPECT_EQ(FormatMessage("%1$.3e", 1e-300), "1.000e-300");
}

TEST(FormatMessage, HugeWidthsAndPrecisionsStayBounded) {
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(FormatMessage("%1$2000000000d", int32_t{1}), std::string(4095, ' '));
  EXPECT_EQ(FormatMessage("%1$-2000000000d", int32_t{1}), "1" + std::string(4094, ' '));
  EXPECT_EQ(FormatMessage("%1$.2000000000d", int32_t{1}), std::string(4095, '0'));
  EXPECT_EQ(FormatMessage("%1$99999999999999999999d", int32_t{1}), std::string(4095, ' '));
  EXPECT_EQ(FormatMessage("[%*d", std::numeric_limits<int32_t>::min(), int32_t{1}),
            "[1" + std::string(4093, ' '));
  EXPECT_EQ(FormatMessage("[%*d", std::numeric_limits<int32_t>::max(), int32_t{1}), "[" + std::string(4094, ' '));
  EXPECT_EQ(FormatMessage("%1$.2000000000f", 0.5).substr(0, 6), "0.5000");
  EXPECT_EQ(FormatMessage("%1$.2000000000f", 0.5).size(), 4095u);
  EXPECT_EQ(FormatMessage("%1$.2000000000g", 0.1), "0.1000000000000000055511151231257827021181583404541015625");
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

// ---- The core -------------------------------------------------------------------

TEST(FormatMessageCore, SmallBuffersStayBounded) {
  const int32_t value = 123456;
  const FormatArgument arguments[] = {makeFormatArgument(value)};
  std::array<char, 16> buffer;

  buffer.fill('#');
  EXPECT_EQ(formatMessageInto(buffer.data(), 8, "ab%1cd", arguments, 1), 7u);
  EXPECT_STREQ(buffer.data(), "ab12345");
  EXPECT_EQ(buffer[8], '#');

  buffer.fill('#');
  EXPECT_EQ(formatMessageInto(buffer.data(), 8, "abcdefghij", arguments, 1), 7u);
  EXPECT_STREQ(buffer.data(), "abcdefg");

  buffer.fill('#');
  EXPECT_EQ(formatMessageInto(buffer.data(), 1, "abc", arguments, 1), 0u);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(buffer[1], '#');

  buffer.fill('#');
  EXPECT_EQ(formatMessageInto(buffer.data(), 0, "abc", arguments, 1), 0u);
  EXPECT_EQ(buffer[0], '#');

  // Exactly filling: 7 characters in 8 bytes.
  buffer.fill('#');
  EXPECT_EQ(formatMessageInto(buffer.data(), 8, "%1$7d", arguments, 1), 7u);
  EXPECT_STREQ(buffer.data(), " 123456");
}

TEST(FormatMessageCore, NoArguments) {
  char buffer[32];
  EXPECT_EQ(formatMessageInto(buffer, sizeof buffer, "a%db", nullptr, 0), 1u);
  EXPECT_STREQ(buffer, "a");
  EXPECT_EQ(formatMessageInto(buffer, sizeof buffer, "a%1b", nullptr, 0), 1u);
  EXPECT_STREQ(buffer, "a");
  EXPECT_EQ(formatMessageInto(buffer, sizeof buffer, "100%% plain", nullptr, 0), 10u);
  EXPECT_STREQ(buffer, "100% plain");
}

TEST(FormatMessageCore, TypeInformation) {
  EXPECT_EQ(formatTypeInfo<int32_t>.defaultConversion, 'd');
  EXPECT_EQ(formatTypeInfo<int32_t>.acceptedConversions, "dciouxX");
  EXPECT_EQ(formatTypeInfo<uint32_t>.acceptedConversions, "ucdioxX");
  EXPECT_EQ(formatTypeInfo<unsigned long>.lengthModifier, "l");
  EXPECT_EQ(formatTypeInfo<int64_t>.lengthModifier, "ll");
  EXPECT_EQ(formatTypeInfo<uint64_t>.lengthModifier, "ll");
  EXPECT_EQ(formatTypeInfo<double>.defaultConversion, 'g');
  EXPECT_EQ(formatTypeInfo<double>.acceptedConversions, "gaefGAEF");
  EXPECT_EQ(formatTypeInfo<double>.starValue, nullptr);
  EXPECT_EQ(formatTypeInfo<std::string>.defaultConversion, 's');
  EXPECT_EQ(formatTypeInfo<std::string>.starValue, nullptr);
  EXPECT_NE(formatTypeInfo<int64_t>.starValue, nullptr);
}

// A type added from outside binding/, the way logging/ adds PluginError.
struct Celsius {
  double degrees;
};

}  // namespace

template <>
struct FormatArgumentTraits<Celsius> : FormatTextTraits {
  static std::size_t write(char* out, std::size_t space, const FormatConversion& conversion, const Celsius& value) {
    return formatTextArgument(out, space, conversion, FormatMessage("%1 C", value.degrees));
  }
};

namespace {

TEST(FormatMessageExtension, SpecializedTypeIsWrittenAsText) {
  EXPECT_EQ(FormatMessage("It is %1.", Celsius{21.5}), "It is 21.5 C.");
  EXPECT_EQ(FormatMessage("[%1$8s] [%1$d]", Celsius{3}), "[     3 C] [3 C]");
  EXPECT_EQ(FormatMessage("a%*db", Celsius{3}, int32_t{1}), "a");
}

// ---- Reading a placeholder ------------------------------------------------------

TEST(ReadFormatPlaceholder, DescribesTheSpecification) {
  const std::string_view format = "x%2$-08.*3$lld y";
  const FormatPlaceholder p = readFormatPlaceholder(format, 1, 3, 1);
  EXPECT_TRUE(p.readable);
  EXPECT_FALSE(p.bare);
  EXPECT_TRUE(p.positional);
  EXPECT_EQ(p.argument, 2u);
  EXPECT_EQ(p.flags, "-0");
  EXPECT_EQ(p.widthDigits, "8");
  EXPECT_TRUE(p.hasPrecision);
  EXPECT_TRUE(p.precisionStar.present);
  EXPECT_TRUE(p.precisionStar.positional);
  EXPECT_EQ(p.precisionStar.argument, 3u);
  EXPECT_EQ(p.lengthModifier, "ll");
  EXPECT_EQ(p.conversion, 'd');
  EXPECT_EQ(format.substr(1, p.length), "%2$-08.*3$lld");
  EXPECT_EQ(p.nextSequence, 1u);
}

TEST(ReadFormatPlaceholder, BareAndSequential) {
  FormatPlaceholder bare = readFormatPlaceholder("%3 rest", 0, 3, 2);
  EXPECT_TRUE(bare.readable);
  EXPECT_TRUE(bare.bare);
  EXPECT_EQ(bare.argument, 3u);
  EXPECT_EQ(bare.length, 2u);
  EXPECT_EQ(bare.nextSequence, 2u);

  FormatPlaceholder star = readFormatPlaceholder("%*.*f", 0, 3, 1);
  EXPECT_TRUE(star.readable);
  EXPECT_EQ(star.widthStar.argument, 1u);
  EXPECT_EQ(star.precisionStar.argument, 2u);
  EXPECT_EQ(star.argument, 3u);
  EXPECT_EQ(star.nextSequence, 4u);

  FormatPlaceholder beyond = readFormatPlaceholder("%12d", 0, 3, 1);
  EXPECT_TRUE(beyond.readable);
  EXPECT_FALSE(beyond.positional);
  EXPECT_EQ(beyond.widthDigits, "12");
  EXPECT_EQ(beyond.argument, 1u);

  FormatPlaceholder cut = readFormatPlaceholder("%-5", 0, 3, 1);
  EXPECT_TRUE(cut.readable);
  EXPECT_EQ(cut.flags, "-");
  EXPECT_EQ(cut.widthDigits, "");
  EXPECT_EQ(cut.conversion, '5');
  EXPECT_EQ(cut.length, 3u);
  EXPECT_FALSE(readFormatPlaceholder("%", 0, 3, 1).readable);
}

}  // namespace
}  // namespace Quor
