#include "binding/format_message.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>

namespace Quor {
namespace {

static_assert(sizeof(int) == 4 && sizeof(long) == 4 && sizeof(long long) == 8);
static_assert(sizeof(std::intmax_t) == 8 && sizeof(std::size_t) == 4 && sizeof(std::ptrdiff_t) == 4);

// The C library's bounded formatting. On Windows it is MinGW's own C99
// printf: msvcrt's writes three-digit exponents ("1e+020"), "1.#QNAN" and
// knows neither "%F" nor "hh". It is named explicitly so that the choice does
// not hang on __USE_MINGW_ANSI_STDIO being set where this file is compiled.
// Returns the length of the complete output, or -1 when the C library rejects
// the conversion.
int boundedFormat(char* out, std::size_t space, const char* format, ...) {
  std::va_list list;
  va_start(list, format);
#if defined(__MINGW32__)
  const int result = __mingw_vsnprintf(out, space, format, list);
#else
  const int result = std::vsnprintf(out, space, format, list);
#endif
  va_end(list);
  return result;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal digit run as a number, saturating far above any limit here.
std::size_t readNumber(std::string_view digits) {
  constexpr std::uint64_t ceiling = std::numeric_limits<std::int32_t>::max();
  std::uint64_t number = 0;
  for (char c : digits) {
    number = number * 10 + static_cast<std::uint64_t>(c - '0');
    if (number > ceiling) return static_cast<std::size_t>(ceiling);
  }
  return static_cast<std::size_t>(number);
}

std::int32_t clampField(std::int64_t value) {
  return value > formatFieldLimit ? formatFieldLimit : static_cast<std::int32_t>(value);
}

// Writes one conversion: "%" flags ["*"] [".*"] length conversion, with the
// width and precision passed as int arguments ahead of the value.
template <class V>
std::size_t writeConversion(char* out, std::size_t space, const FormatConversion& conversion, bool numericFlags,
                            std::string_view length, char letter, V value) {
  if (space == 0) return 0;
  char spec[16];
  std::size_t n = 0;
  spec[n++] = '%';
  if (conversion.leftAlign) spec[n++] = '-';
  if (numericFlags) {
    if (conversion.forceSign) spec[n++] = '+';
    if (conversion.spaceSign) spec[n++] = ' ';
    if (conversion.alternate) spec[n++] = '#';
    if (conversion.zeroPad) spec[n++] = '0';
  }
  const bool hasWidth = conversion.width >= 0;
  const bool hasPrecision = conversion.precision >= 0;
  if (hasWidth) spec[n++] = '*';
  if (hasPrecision) {
    spec[n++] = '.';
    spec[n++] = '*';
  }
  for (char c : length) spec[n++] = c;  // at most two characters
  spec[n++] = letter;
  spec[n] = '\0';

  const int width = conversion.width;
  const int precision = conversion.precision;
  int result;
  if (hasWidth && hasPrecision) {
    result = boundedFormat(out, space, spec, width, precision, value);
  } else if (hasWidth) {
    result = boundedFormat(out, space, spec, width, value);
  } else if (hasPrecision) {
    result = boundedFormat(out, space, spec, precision, value);
  } else {
    result = boundedFormat(out, space, spec, value);
  }
  if (result < 0) {
    out[0] = '\0';
    return 0;
  }
  return static_cast<std::size_t>(result);
}

bool isSignedConversion(char letter) { return letter == 'd' || letter == 'i'; }

// An integer given as its 64 bits (sign- or zero-extended by the caller),
// converted to the C type the length modifier names. Where the two C
// libraries part ways the C standard's reading is applied first, so both
// builds write the same: "+" and " " concern signed conversions only (MinGW
// puts a blank before "% u"), "%#.0o" of 0 is "0" (MinGW writes nothing), and
// "%c" takes no modifier (a narrow text has no use for "%lc", which glibc
// fails and MinGW pads).
std::size_t writeInteger(char* out, std::size_t space, const FormatConversion& requested, std::uint64_t bits) {
  FormatConversion conversion = requested;
  const std::string_view length = conversion.length;
  const char letter = conversion.conversion;
  const auto low = static_cast<std::uint32_t>(bits);
  if (letter == 'c') {
    return writeConversion(out, space, conversion, false, "", 'c', static_cast<int>(low));
  }
  if (!isSignedConversion(letter)) {
    conversion.forceSign = false;
    conversion.spaceSign = false;
  }
  if (letter == 'o' && conversion.alternate && conversion.precision == 0) conversion.precision = 1;
  const bool isSigned = isSignedConversion(letter);
  if (length == "ll" || length == "L") {
    return isSigned ? writeConversion(out, space, conversion, true, "ll", letter, static_cast<long long>(bits))
                    : writeConversion(out, space, conversion, true, "ll", letter,
                                      static_cast<unsigned long long>(bits));
  }
  if (length == "j") {
    return isSigned ? writeConversion(out, space, conversion, true, "j", letter, static_cast<std::intmax_t>(bits))
                    : writeConversion(out, space, conversion, true, "j", letter, static_cast<std::uintmax_t>(bits));
  }
  if (length == "l") {
    return isSigned ? writeConversion(out, space, conversion, true, "l", letter, static_cast<long>(low))
                    : writeConversion(out, space, conversion, true, "l", letter, static_cast<unsigned long>(low));
  }
  if (length == "z") {
    return isSigned ? writeConversion(out, space, conversion, true, "z", letter,
                                      static_cast<std::make_signed_t<std::size_t>>(low))
                    : writeConversion(out, space, conversion, true, "z", letter, static_cast<std::size_t>(low));
  }
  if (length == "t") {
    return isSigned ? writeConversion(out, space, conversion, true, "t", letter, static_cast<std::ptrdiff_t>(low))
                    : writeConversion(out, space, conversion, true, "t", letter,
                                      static_cast<std::make_unsigned_t<std::ptrdiff_t>>(low));
  }
  // None, "h" or "hh": an int, narrowed by the C library itself.
  const std::string_view kept = (length == "h" || length == "hh") ? length : std::string_view();
  return isSigned ? writeConversion(out, space, conversion, true, kept, letter, static_cast<int>(low))
                  : writeConversion(out, space, conversion, true, kept, letter, static_cast<unsigned>(low));
}

// Reads flags, width, precision and length modifier of an ordinary
// specification from format[i] on into placeholder; returns where the
// conversion character would stand.
std::size_t readOrdinarySpecification(std::string_view format, std::size_t i, FormatPlaceholder& placeholder) {
  const std::size_t end = format.size();
  auto readStar = [&](FormatStar& star) {
    star.present = true;
    ++i;  // "*"
    std::size_t j = i;
    while (j < end && isDigit(format[j])) ++j;
    if (j > i && j < end && format[j] == '$') {
      star.positional = true;
      star.argument = readNumber(format.substr(i, j - i));
      i = j + 1;
    }
  };
  auto readDigits = [&]() {
    const std::size_t from = i;
    while (i < end && isDigit(format[i])) ++i;
    return format.substr(from, i - from);
  };

  const std::size_t flagsStart = i;
  while (i < end && std::string_view("-+ #0").find(format[i]) != std::string_view::npos) ++i;
  placeholder.flags = format.substr(flagsStart, i - flagsStart);

  if (i < end && format[i] == '*') {
    readStar(placeholder.widthStar);
  } else {
    placeholder.widthDigits = readDigits();
  }
  if (i < end && format[i] == '.') {
    ++i;
    placeholder.hasPrecision = true;
    if (i < end && format[i] == '*') {
      readStar(placeholder.precisionStar);
    } else {
      placeholder.precisionDigits = readDigits();
    }
  }

  const std::size_t lengthStart = i;
  if (i < end) {
    const char c = format[i];
    if (c == 'h' || c == 'l') {
      ++i;
      if (i < end && format[i] == c) ++i;
    } else if (c == 'L' || c == 'j' || c == 't' || c == 'z') {
      ++i;
    }
  }
  placeholder.lengthModifier = format.substr(lengthStart, i - lengthStart);
  return i;
}

}  // namespace

std::size_t formatTextArgument(char* out, std::size_t space, const FormatConversion& conversion,
                               std::string_view text) {
  FormatConversion bounded = conversion;
  const std::size_t maxLength = static_cast<std::size_t>(std::numeric_limits<int>::max());
  std::size_t limit = text.size() < maxLength ? text.size() : maxLength;
  if (conversion.precision >= 0 && static_cast<std::size_t>(conversion.precision) < limit) {
    limit = static_cast<std::size_t>(conversion.precision);
  }
  // "%.*s" never reads past the given count, so the text need not end in NUL.
  bounded.precision = static_cast<std::int32_t>(limit);
  const char* data = text.data() ? text.data() : "";
  return writeConversion(out, space, bounded, false, "", 's', data);
}

std::size_t formatSignedArgument(char* out, std::size_t space, const FormatConversion& conversion,
                                 std::int64_t value) {
  return writeInteger(out, space, conversion, static_cast<std::uint64_t>(value));
}

std::size_t formatUnsignedArgument(char* out, std::size_t space, const FormatConversion& conversion,
                                   std::uint64_t value) {
  return writeInteger(out, space, conversion, value);
}

std::size_t formatFloatArgument(char* out, std::size_t space, const FormatConversion& conversion,
                                double value) {
  // A NaN is written without its sign bit ("nan", never "-nan"): MinGW
  // ignores the bit, glibc shows it, and 0.0 / 0.0 sets it on x86.
  if (std::isnan(value)) value = std::fabs(value);
  if (conversion.length == "L") {
    return writeConversion(out, space, conversion, true, "L", conversion.conversion,
                           static_cast<long double>(value));
  }
  return writeConversion(out, space, conversion, true, "", conversion.conversion, value);
}

FormatPlaceholder readFormatPlaceholder(std::string_view format, std::size_t start, std::size_t count,
                                        std::size_t nextSequence) {
  FormatPlaceholder placeholder;
  placeholder.nextSequence = nextSequence;
  const std::size_t end = format.size();
  std::size_t i = start + 1;

  // Position: a run of digits led by 1 to 9.
  std::size_t ordinaryStart = i;
  if (i < end && format[i] >= '1' && format[i] <= '9') {
    std::size_t j = i;
    while (j < end && isDigit(format[j])) ++j;
    const std::size_t position = readNumber(format.substr(i, j - i));
    if (position <= count) {
      placeholder.positional = true;
      placeholder.argument = position;
      if (j >= end || format[j] != '$') {
        placeholder.readable = true;
        placeholder.bare = true;
        placeholder.length = j - start;
        return placeholder;
      }
      ordinaryStart = j + 1;
    }
  }

  // Ordinary specification.
  i = readOrdinarySpecification(format, ordinaryStart, placeholder);
  if (i >= end) {
    // The text ends before a conversion character: the placeholder's last
    // character serves as one, like any character that is not a conversion.
    // A lone "%" (or "%N$") ends the output.
    if (end == ordinaryStart) return placeholder;
    const std::size_t last = end - 1;
    FormatPlaceholder shortened;
    shortened.positional = placeholder.positional;
    shortened.argument = placeholder.argument;
    shortened.nextSequence = placeholder.nextSequence;
    placeholder = shortened;
    if (readOrdinarySpecification(format.substr(0, last), ordinaryStart, placeholder) != last) return placeholder;
    i = last;
  }

  // The conversion character, whatever it is.
  placeholder.conversion = format[i++];
  placeholder.length = i - start;
  // The collected specification: "%" and the ordinary part.
  if (1 + (i - ordinaryStart) >= formatSpecificationLimit) return placeholder;
  placeholder.readable = true;

  // Sequence numbers in reading order: width, precision, then the value.
  std::size_t sequence = nextSequence;
  if (placeholder.widthStar.present && !placeholder.widthStar.positional) {
    placeholder.widthStar.argument = sequence++;
  }
  if (placeholder.precisionStar.present && !placeholder.precisionStar.positional) {
    placeholder.precisionStar.argument = sequence++;
  }
  if (!placeholder.positional) placeholder.argument = sequence++;
  placeholder.nextSequence = sequence;
  return placeholder;
}

std::size_t formatMessageInto(char* buffer, std::size_t capacity, std::string_view format,
                              const FormatArgument* arguments, std::size_t count) {
  if (capacity == 0) return 0;
  if (arguments == nullptr) count = 0;
  const std::size_t usable = capacity - 1;
  std::size_t written = 0;
  std::size_t sequence = 1;
  std::size_t i = 0;

  // The integer a "*" takes, or false when its argument is missing or cannot
  // serve as one.
  auto starInteger = [&](const FormatStar& star, std::int32_t& value) {
    if (star.argument == 0 || star.argument > count) return false;
    const FormatArgument& argument = arguments[star.argument - 1];
    if (argument.type == nullptr || argument.type->starValue == nullptr) return false;
    value = argument.type->starValue(argument.value);
    return true;
  };

  while (i < format.size() && written < usable) {
    const char c = format[i];
    if (c != '%') {
      buffer[written++] = c;
      ++i;
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == '%') {
      buffer[written++] = '%';
      i += 2;
      continue;
    }

    const FormatPlaceholder placeholder = readFormatPlaceholder(format, i, count, sequence);
    if (!placeholder.readable) break;
    sequence = placeholder.nextSequence;
    if (placeholder.argument == 0 || placeholder.argument > count) break;
    const FormatArgument& argument = arguments[placeholder.argument - 1];
    const FormatTypeInfo* type = argument.type;
    if (type == nullptr || type->write == nullptr) break;

    FormatConversion conversion;
    if (placeholder.bare) {
      conversion.length = type->lengthModifier;
      conversion.conversion = type->defaultConversion;
    } else {
      for (char flag : placeholder.flags) {
        switch (flag) {
          case '-': conversion.leftAlign = true; break;
          case '+': conversion.forceSign = true; break;
          case ' ': conversion.spaceSign = true; break;
          case '#': conversion.alternate = true; break;
          case '0': conversion.zeroPad = true; break;
          default: break;
        }
      }
      if (placeholder.widthStar.present) {
        std::int32_t value = 0;
        if (!starInteger(placeholder.widthStar, value)) break;
        if (value < 0) {
          conversion.leftAlign = true;
          conversion.width = clampField(-static_cast<std::int64_t>(value));
        } else {
          conversion.width = clampField(value);
        }
      } else if (!placeholder.widthDigits.empty()) {
        conversion.width = clampField(static_cast<std::int64_t>(readNumber(placeholder.widthDigits)));
      }
      if (placeholder.precisionStar.present) {
        std::int32_t value = 0;
        if (!starInteger(placeholder.precisionStar, value)) break;
        conversion.precision = value < 0 ? -1 : clampField(value);
      } else if (placeholder.hasPrecision) {
        conversion.precision = clampField(static_cast<std::int64_t>(readNumber(placeholder.precisionDigits)));
      }
      conversion.length = placeholder.lengthModifier;
      const char letter = placeholder.conversion;
      conversion.conversion = letter != '\0' && type->acceptedConversions.find(letter) != std::string_view::npos
                                  ? letter
                                  : type->defaultConversion;
    }

    const std::size_t space = capacity - written;
    const std::size_t length = type->write(buffer + written, space, conversion, argument.value);
    if (length >= space) {
      // Cut at the buffer's end.
      written = usable;
      break;
    }
    written += length;
    i += placeholder.length;
  }

  buffer[written] = '\0';
  return written;
}

}  // namespace Quor
