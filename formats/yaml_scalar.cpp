#include "formats/yaml_scalar.h"

#include <array>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "binding/conversion_messages.h"
#include "binding/format_message.h"
#include "formats/decimal_double.h"

namespace Quor {

namespace {

// The name and type names the conversion messages quote for YAML scalars.
constexpr const char* targetName = "yaml";
constexpr const char* signedTypeName = "int64_t";
constexpr const char* unsignedTypeName = "uint64_t";
constexpr const char* doubleTypeName = "double";

constexpr const char* unsupportedTag = "Unsupported YAML tag '%1'.";

bool isOneOf(std::string_view text, std::initializer_list<std::string_view> words) {
  for (const std::string_view word : words) {
    if (text == word) return true;
  }
  return false;
}

enum class PlainWord { Other, Null, True, False };

// Which list a text's word is in: null "", "~", "null", "Null", "NULL";
// true "true", "True", "TRUE", "y", "Y", "yes", "Yes", "YES", "on", "On",
// "ON"; false "false", "False", "FALSE", "n", "N", "no", "No", "NO", "off",
// "Off", "OFF". Told by the length first; apart, as few texts get here.
[[gnu::noinline]] PlainWord shortWordOf(std::string_view text) {
  switch (text.size()) {
    case 0:
      return PlainWord::Null;
    case 1:
      if (text == "~") return PlainWord::Null;
      if (isOneOf(text, {"y", "Y"})) return PlainWord::True;
      if (isOneOf(text, {"n", "N"})) return PlainWord::False;
      return PlainWord::Other;
    case 2:
      if (isOneOf(text, {"on", "On", "ON"})) return PlainWord::True;
      if (isOneOf(text, {"no", "No", "NO"})) return PlainWord::False;
      return PlainWord::Other;
    case 3:
      if (isOneOf(text, {"yes", "Yes", "YES"})) return PlainWord::True;
      if (isOneOf(text, {"off", "Off", "OFF"})) return PlainWord::False;
      return PlainWord::Other;
    case 4:
      if (isOneOf(text, {"null", "Null", "NULL"})) return PlainWord::Null;
      if (isOneOf(text, {"true", "True", "TRUE"})) return PlainWord::True;
      return PlainWord::Other;
    case 5:
      return isOneOf(text, {"false", "False", "FALSE"}) ? PlainWord::False : PlainWord::Other;
    default:
      return PlainWord::Other;
  }
}

// Every word of the lists has at most five letters: a longer text (most
// strings and numbers) is told by its length alone.
constexpr std::size_t longestWord = 5;

PlainWord plainWordOf(std::string_view text) {
  return text.size() > longestWord ? PlainWord::Other : shortWordOf(text);
}

bool isCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Whether the whole text (an embedded NUL counts as a leftover) was read.
bool readWhole(std::string_view text, const char* end) { return end == text.data() + text.size(); }

bool failWith(std::string& error, const char* message, std::string_view text, const char* typeName) {
  error = FormatMessage(message, text, targetName, typeName);
  return false;
}

// The string-to-integer conversion: base 0 as the C library reads it, the
// whole text, within the 64-bit range of the type.
bool integerFromText(std::string_view text, Value& target, std::string& error) {
  char* end = nullptr;
  errno = 0;
  if (!text.empty() && text[0] == '-') {
    const long long number = std::strtoll(text.data(), &end, 0);
    const bool overflow = errno == ERANGE;
    if (!readWhole(text, end)) return failWith(error, ConversionMessages::incorrectFormat, text, signedTypeName);
    if (overflow) return failWith(error, ConversionMessages::outOfRange, text, signedTypeName);
    target.setSigned(static_cast<std::int64_t>(number));
    return true;
  }
  const unsigned long long number = std::strtoull(text.data(), &end, 0);
  const bool overflow = errno == ERANGE;
  if (!readWhole(text, end)) return failWith(error, ConversionMessages::incorrectFormat, text, unsignedTypeName);
  // The C library negates " -1" into the largest number; a minus sign after
  // leading white space is out of range for the unsigned type.
  std::size_t first = 0;
  while (first < text.size() && isCSpace(text[first])) ++first;
  const bool negative = first < text.size() && text[first] == '-';
  if (overflow || negative) return failWith(error, ConversionMessages::outOfRange, text, unsignedTypeName);
  target.setUnsigned(static_cast<std::uint64_t>(number));
  return true;
}

// The string-to-double conversion: the whole text, a finite double without a
// range error (overflow or underflow) of the parse. NaN passes.
bool floatFromText(std::string_view text, Value& target, std::string& error) {
  char* end = nullptr;
  errno = 0;
  const double number = std::strtod(text.data(), &end);
  const bool rangeError = errno == ERANGE;
  if (!readWhole(text, end)) return failWith(error, ConversionMessages::incorrectFormat, text, doubleTypeName);
  if (rangeError || number < -DBL_MAX || number > DBL_MAX) {
    return failWith(error, ConversionMessages::outOfRange, text, doubleTypeName);
  }
  target.setFloat(number);
  return true;
}

// Characters a text strtod reads can start with (plain scalars never start
// with white space): saves the parse for most words. A table rather than
// tests: half the numbers start with a minus, which a jump would mispredict.
constexpr std::array<bool, 256> numberStarts = [] {
  std::array<bool, 256> starts{};
  for (const char c : std::string_view("0123456789-+.iInN")) starts[static_cast<unsigned char>(c)] = true;
  return starts;
}();

bool mayBeNumber(char first) { return numberStarts[static_cast<unsigned char>(first)]; }

// What strtod makes of the whole text; false when it stops short. Most
// numbers are plain decimals, read to the same double without the C
// library; everything else (a "+" sign, hexadecimal, "nan", more digits
// than a 64-bit mantissa holds, text beyond the number) goes to strtod.
bool readDouble(std::string_view text, double& number) {
  if (readDecimalDouble(text, number)) return true;
  char* end = nullptr;
  number = std::strtod(text.data(), &end);
  return readWhole(text, end);
}

constexpr int doubleMantissaBits = 52;
constexpr int doubleExponentBias = 1023;

std::uint64_t bitsOf(double number) {
  std::uint64_t bits;
  std::memcpy(&bits, &number, sizeof bits);
  return bits;
}

// The binary exponent of a finite double (below zero for magnitudes under 1).
int exponentOf(std::uint64_t bits) {
  return static_cast<int>((bits >> doubleMantissaBits) & 0x7FF) - doubleExponentBias;
}

// Whether a finite double has a fractional part, from its bits: the 32-bit
// target's conversion to an integer switches the rounding mode twice.
// Every double of magnitude 2^52 or more is integral.
bool hasFraction(double number) {
  const std::uint64_t bits = bitsOf(number);
  const int exponent = exponentOf(bits);
  if (exponent < 0) return (bits << 1) != 0;
  if (exponent >= doubleMantissaBits) return false;
  return (bits & ((std::uint64_t{1} << (doubleMantissaBits - exponent)) - 1)) != 0;
}

// The magnitude of an integral double below 2^64, exactly.
std::uint64_t integralMagnitude(double number) {
  const std::uint64_t bits = bitsOf(number);
  const int exponent = exponentOf(bits);
  if (exponent < 0) return 0;
  const std::uint64_t significand =
      (bits & ((std::uint64_t{1} << doubleMantissaBits) - 1)) | (std::uint64_t{1} << doubleMantissaBits);
  return exponent >= doubleMantissaBits ? significand << (exponent - doubleMantissaBits)
                                        : significand >> (doubleMantissaBits - exponent);
}

// Digits of the integers read without a double: nine fit 32 bits, and
// every integer that short is exactly the double its text reads as.
constexpr std::size_t smallIntegerDigits = 9;

// A plain integer of at most nine digits, with or without a minus: most
// integers of a document. Gives what the double of the text gives (-0 is
// unsigned zero); false for any other text, target left alone.
[[gnu::always_inline]] inline bool plainSmallInteger(std::string_view text, Value& target) {
  const bool negative = text[0] == '-';
  const std::size_t digits = text.size() - (negative ? 1 : 0);
  if (digits - 1 >= smallIntegerDigits) return false;
  std::uint32_t magnitude = 0;
  for (std::size_t index = negative ? 1 : 0; index < text.size(); ++index) {
    const std::uint32_t digit = static_cast<unsigned char>(text[index]) - std::uint32_t{'0'};
    if (digit > 9) return false;
    magnitude = magnitude * 10 + digit;
  }
  if (negative && magnitude != 0) {
    target.setSigned(-std::int64_t{magnitude});
  } else {
    target.setUnsigned(magnitude);
  }
  return true;
}

// A plain scalar that reads as a number; false leaves target alone.
bool plainNumber(std::string_view text, Value& target) {
  if (text.empty() || !mayBeNumber(text[0])) return false;
  // Longer texts (most floats) are told by their length alone.
  if (text.size() <= smallIntegerDigits + 1 && plainSmallInteger(text, target)) return true;
  double number = 0;
  if (!readDouble(text, number) || std::isinf(number)) return false;
  if (std::isnan(number) || hasFraction(number)) {
    target.setFloat(number);
  } else if (number < 0) {
    // -2^63 is the smallest signed 64-bit number; below it the float stays.
    if (number >= -0x1p63) {
      // Two's complement of the magnitude: -2^63 included.
      target.setSigned(static_cast<std::int64_t>(~integralMagnitude(number) + 1));
    } else {
      target.setFloat(number);
    }
  } else if (number < 0x1p64) {
    target.setUnsigned(integralMagnitude(number));
  } else {
    target.setFloat(number);
  }
  return true;
}

}  // namespace

bool yamlScalarToValue(const char* tag, std::string_view text, YamlScalarStyle style, Value& target,
                       std::string& error) {
  if (tag != nullptr) {
    const std::string_view name(tag);
    if (name == yamlStringTag) {
      target.setString(text);
      return true;
    }
    if (name == yamlIntTag) return integerFromText(text, target, error);
    if (name == yamlFloatTag) return floatFromText(text, target, error);
    if (name == yamlBoolTag) {
      const PlainWord word = plainWordOf(text);
      if (word == PlainWord::True || word == PlainWord::False) {
        target.setBool(word == PlainWord::True);
      } else {
        target.setEmpty();
      }
      return true;
    }
    error = FormatMessage(unsupportedTag, name);
    return false;
  }
  if (style != YamlScalarStyle::Plain) {
    target.setString(text);
    return true;
  }
  const PlainWord word = plainWordOf(text);
  if (word == PlainWord::Null) {
    target.setEmpty();
  } else if (!plainNumber(text, target)) {
    if (word == PlainWord::True || word == PlainWord::False) {
      target.setBool(word == PlainWord::True);
    } else {
      target.setString(text);
    }
  }
  return true;
}

}  // namespace Quor
