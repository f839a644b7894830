#pragma once
// Positional message formatting.
//
// FormatMessage(format, a1[, a2[, a3]]) fills numbered placeholders "%1",
// "%2", "%3" and ordinary C conversion specifications ("%5d", "%2$-8s",
// "%*d", "%.*1$f", ...) from one to three typed arguments and returns the
// result as a new string of at most 4095 characters. It never fails and never
// throws because of the text: an unreadable placeholder, a placeholder without
// an argument, or a "*" whose argument cannot serve as an integer ends the
// text at that point.
//
//   FormatMessage("Value %1 for '%2' of type %3 is out of range",
//                 std::int64_t{-5}, "x", "uint8")
//     -> "Value -5 for 'x' of type uint8 is out of range"
//
// ---- Supported argument types -----------------------------------------------
//
//   type                                   default  accepted    length  "*"
//   text: const char*, char*, char[N],     s        "s"         -       no
//         std::string, std::string_view
//   std::int32_t                           d        "dciouxX"   -       yes
//   std::uint32_t                          u        "ucdioxX"   -       yes
//   unsigned long (32 bits)                u        "ucdioxX"   "l"     yes
//   std::int64_t                           d        "dciouxX"   "ll"    yes (low 32 bits)
//   std::uint64_t                          u        "ucdioxX"   "ll"    yes (low 32 bits)
//   double                                 g        "gaefGAEF"  -       no
//
// Any other type is rejected at compile time (cast it to one of these).
//
// ---- Adding a type (the extension point) --------------------------------------
//
// Every argument travels as a FormatArgument: a pointer to the value and a
// pointer to the FormatTypeInfo of its type, built once per type from the
// specialization FormatArgumentTraits<T>. Another header adds a type by
// specializing FormatArgumentTraits for it; the specialization must be visible
// wherever FormatMessage is called with that type, so put it in the header
// that defines the type. A specialization provides:
//
//   static constexpr char defaultConversion;              // == acceptedConversions[0]
//   static constexpr std::string_view acceptedConversions; // letters kept when written
//   static constexpr std::string_view lengthModifier;      // added for a bare "%N"
//   static constexpr bool usableForStar;                   // may feed a "*" width/precision
//   static std::int32_t starValue(const T&);               // only when usableForStar
//   static std::size_t write(char* out, std::size_t space,
//                            const FormatConversion& conversion, const T& value);
//
// write() formats the value with the resolved conversion into out[0..space)
// (always NUL-terminated when space > 0) and returns the length the complete
// conversion has, which may be larger than space - 1 (as with vsnprintf); the
// formatter then counts the buffer as full. The helpers formatTextArgument,
// formatSignedArgument, formatUnsignedArgument and formatFloatArgument do this
// for the four kinds of data; the base structs FormatTextTraits,
// FormatSignedTraits<T>, FormatUnsignedTraits<T> and FormatFloatTraits carry
// the table's rows. The error record of logging/ (PluginError) is
// added this way, in the header that defines it:
//
//   template <>
//   struct FormatArgumentTraits<PluginError> : FormatTextTraits {
//     static std::size_t write(char* out, std::size_t space,
//                              const FormatConversion& conversion,
//                              const PluginError& error) {
//       return formatTextArgument(out, space, conversion, textForm(error));
//     }
//   };
//
// ---- Windows -------------------------------------------------------------------
//
// <windows.h> defines FormatMessage as a macro for FormatMessageA/W. This
// header removes that macro; include it after <windows.h>, and call the Win32
// function as FormatMessageA.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#ifdef FormatMessage
#undef FormatMessage
#endif

namespace Quor {

// Size of the buffer a result is assembled in; a result holds at most
// formatMessageCapacity - 1 characters.
inline constexpr std::size_t formatMessageCapacity = 4096;
// A placeholder's specification (from its "%" to its conversion character,
// without the "N$" of an explicit position) must stay below this length.
inline constexpr std::size_t formatSpecificationLimit = 60;
// Widths and precisions beyond this are clamped before the C library sees
// them. Up to it the 4095 visible characters are exactly the C library's; it
// keeps absurd values ("%2000000000d") from costing seconds or memory.
inline constexpr std::int32_t formatFieldLimit = 8192;

// The final conversion handed to a type's writer: flags, width and precision
// resolved ("*" arguments read, a negative "*" width turned into the "-" flag,
// a negative "*" precision dropped, both clamped to formatFieldLimit), the
// length modifier as written (or the type's own for a bare "%N") and a
// conversion letter from the type's accepted set.
struct FormatConversion {
  bool leftAlign = false;    // "-"
  bool forceSign = false;    // "+"
  bool spaceSign = false;    // " "
  bool alternate = false;    // "#"
  bool zeroPad = false;      // "0"
  std::int32_t width = -1;       // -1: none
  std::int32_t precision = -1;   // -1: none
  std::string_view length;   // "", "h", "hh", "l", "ll", "L", "j", "t", "z"
  char conversion = 's';
};

// Writers for the four kinds of data. Each formats through the C library's
// bounded formatting (MinGW's C99 printf on Windows, so "1e+20" and never
// "1e+020"; the C library's vsnprintf natively), reading exactly the value
// given. The length modifier selects the C type the value is converted to
// before formatting ("%hd" of 70000, "%d" of a 64-bit value: its low 32 bits),
// so a modifier never makes the C library read more than was passed:
//  - integers: none/"h"/"hh" -> int, "l" -> long, "ll"/"L"/"j" -> long long,
//    "z" -> size_t, "t" -> ptrdiff_t; "%c" takes no modifier (never "%lc").
//    Where glibc and MinGW differ, both builds follow the C standard: "+"
//    and " " only affect signed conversions, "%#.0o" of 0 writes "0".
//  - floating point: "L" -> long double; any other modifier is ignored. A NaN
//    is written without sign ("nan"; "+nan" with the "+" flag) in both builds.
//  - text: every modifier is ignored (a narrow text is never read as a wide
//    one); at most text.size() characters are read, so the text need not be
//    NUL-terminated (it still ends at an embedded NUL, as "%s" does).
// A conversion the C library rejects writes nothing.
std::size_t formatTextArgument(char* out, std::size_t space, const FormatConversion& conversion,
                               std::string_view text);
std::size_t formatSignedArgument(char* out, std::size_t space, const FormatConversion& conversion,
                                 std::int64_t value);
std::size_t formatUnsignedArgument(char* out, std::size_t space, const FormatConversion& conversion,
                                   std::uint64_t value);
std::size_t formatFloatArgument(char* out, std::size_t space, const FormatConversion& conversion,
                                double value);

// What the formatter knows about one argument type (see the header comment).
struct FormatTypeInfo {
  char defaultConversion;
  std::string_view acceptedConversions;
  std::string_view lengthModifier;
  // Null when the type cannot serve as a "*" width or precision.
  std::int32_t (*starValue)(const void* value);
  std::size_t (*write)(char* out, std::size_t space, const FormatConversion& conversion,
                       const void* value);
};

// A tagged reference to one argument. It refers to the caller's object, which
// must outlive the formatting call.
struct FormatArgument {
  const void* value;
  const FormatTypeInfo* type;
};

// ---- Traits -------------------------------------------------------------------

// Specialized for every supported type; the primary template marks a type as
// unsupported.
template <class T>
struct FormatArgumentTraits {
  static constexpr bool unsupported = true;
};

struct FormatTextTraits {
  static constexpr char defaultConversion = 's';
  static constexpr std::string_view acceptedConversions = "s";
  static constexpr std::string_view lengthModifier = "";
  static constexpr bool usableForStar = false;
};

template <class T>
struct FormatSignedTraits {
  static constexpr char defaultConversion = 'd';
  static constexpr std::string_view acceptedConversions = "dciouxX";
  static constexpr std::string_view lengthModifier = sizeof(T) == 8 ? "ll" : "";
  static constexpr bool usableForStar = true;
  // The low 32 bits.
  static std::int32_t starValue(const T& value) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
  }
  static std::size_t write(char* out, std::size_t space, const FormatConversion& conversion, const T& value) {
    return formatSignedArgument(out, space, conversion, static_cast<std::int64_t>(value));
  }
};

template <class T>
struct FormatUnsignedTraits {
  static constexpr char defaultConversion = 'u';
  static constexpr std::string_view acceptedConversions = "ucdioxX";
  static constexpr std::string_view lengthModifier =
      sizeof(T) == 8 ? "ll" : (std::is_same_v<T, unsigned long> ? "l" : "");
  static constexpr bool usableForStar = true;
  // The low 32 bits.
  static std::int32_t starValue(const T& value) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  }
  static std::size_t write(char* out, std::size_t space, const FormatConversion& conversion, const T& value) {
    return formatUnsignedArgument(out, space, conversion, static_cast<std::uint64_t>(value));
  }
};

struct FormatFloatTraits {
  static constexpr char defaultConversion = 'g';
  static constexpr std::string_view acceptedConversions = "gaefGAEF";
  static constexpr std::string_view lengthModifier = "";
  static constexpr bool usableForStar = false;
  static std::size_t write(char* out, std::size_t space, const FormatConversion& conversion, double value) {
    return formatFloatArgument(out, space, conversion, value);
  }
};

template <>
struct FormatArgumentTraits<std::int32_t> : FormatSignedTraits<std::int32_t> {};
template <>
struct FormatArgumentTraits<std::uint32_t> : FormatUnsignedTraits<std::uint32_t> {};
template <>
struct FormatArgumentTraits<std::int64_t> : FormatSignedTraits<std::int64_t> {};
template <>
struct FormatArgumentTraits<std::uint64_t> : FormatUnsignedTraits<std::uint64_t> {};
static_assert(sizeof(unsigned long) == 4, "unsigned long is the 32-bit type with the \"l\" modifier");
static_assert(!std::is_same_v<unsigned long, std::uint32_t>, "unsigned long is a type of its own");
template <>
struct FormatArgumentTraits<unsigned long> : FormatUnsignedTraits<unsigned long> {};
template <>
struct FormatArgumentTraits<double> : FormatFloatTraits {};

template <>
struct FormatArgumentTraits<std::string_view> : FormatTextTraits {
  static std::size_t write(char* out, std::size_t space, const FormatConversion& conversion,
                           std::string_view text) {
    return formatTextArgument(out, space, conversion, text);
  }
};
template <>
struct FormatArgumentTraits<std::string> : FormatTextTraits {
  static std::size_t write(char* out, std::size_t space, const FormatConversion& conversion,
                           const std::string& text) {
    return formatTextArgument(out, space, conversion, text);
  }
};
// A null pointer is written as "(null)".
template <>
struct FormatArgumentTraits<const char*> : FormatTextTraits {
  static std::size_t write(char* out, std::size_t space, const FormatConversion& conversion,
                           const char* text) {
    return formatTextArgument(out, space, conversion, text ? std::string_view(text) : "(null)");
  }
};
template <>
struct FormatArgumentTraits<char*> : FormatArgumentTraits<const char*> {};
// A character array: its text up to the first NUL, never beyond the array.
template <std::size_t N>
struct FormatArgumentTraits<char[N]> : FormatTextTraits {
  static std::size_t write(char* out, std::size_t space, const FormatConversion& conversion,
                           const char (&text)[N]) {
    std::size_t length = 0;
    while (length < N && text[length] != '\0') ++length;
    return formatTextArgument(out, space, conversion, std::string_view(text, length));
  }
};

namespace detail {

template <class T>
concept FormatSupported = !requires { FormatArgumentTraits<T>::unsupported; };

template <class T>
std::size_t formatWriteThunk(char* out, std::size_t space, const FormatConversion& conversion,
                             const void* value) {
  return FormatArgumentTraits<T>::write(out, space, conversion, *static_cast<const T*>(value));
}

template <class T>
std::int32_t formatStarThunk(const void* value) {
  return FormatArgumentTraits<T>::starValue(*static_cast<const T*>(value));
}

template <class T>
constexpr FormatTypeInfo makeFormatTypeInfo() {
  using Traits = FormatArgumentTraits<T>;
  static_assert(!Traits::acceptedConversions.empty() &&
                    Traits::defaultConversion == Traits::acceptedConversions[0],
                "the default conversion is the first accepted letter");
  if constexpr (Traits::usableForStar) {
    return {Traits::defaultConversion, Traits::acceptedConversions, Traits::lengthModifier,
            &formatStarThunk<T>, &formatWriteThunk<T>};
  } else {
    return {Traits::defaultConversion, Traits::acceptedConversions, Traits::lengthModifier, nullptr,
            &formatWriteThunk<T>};
  }
}

}  // namespace detail

// The one FormatTypeInfo of a supported type T (without cv-qualifiers or
// references; a character array keeps its extent).
template <class T>
inline constexpr FormatTypeInfo formatTypeInfo = detail::makeFormatTypeInfo<T>();

template <class T>
FormatArgument makeFormatArgument(const T& value) {
  using Type = std::remove_cvref_t<T>;
  static_assert(detail::FormatSupported<Type>,
                "FormatMessage: unsupported argument type; cast it to a supported one or "
                "specialize Quor::FormatArgumentTraits for it (see binding/format_message.h)");
  return {static_cast<const void*>(&value), &formatTypeInfo<Type>};
}

// ---- The core -----------------------------------------------------------------

// Fills format into buffer[0..capacity) from count arguments by the placeholder
// rules above and returns the number of characters written (at most capacity - 1);
// the buffer is NUL-terminated whenever capacity > 0. No argument beyond count
// is read and nothing beyond the buffer is written.
std::size_t formatMessageInto(char* buffer, std::size_t capacity, std::string_view format,
                              const FormatArgument* arguments, std::size_t count);

// ---- Placeholder reading, shared with the named-field templates ------------------

// How a "*" width or precision names its argument.
struct FormatStar {
  bool present = false;       // a "*" was written
  bool positional = false;    // "*N$"
  std::size_t argument = 0;   // 1-based argument number (may exceed the count, or be 0)
};

// One placeholder read from a format text.
struct FormatPlaceholder {
  // False when the placeholder's specification reached formatSpecificationLimit characters
  // or the text ended right after its "%" (or "%N$"); formatting stops there.
  // A text that ends later inside the placeholder makes its last character the
  // conversion.
  bool readable = false;
  // Characters of the format the placeholder takes, from its "%" on.
  std::size_t length = 0;
  // "%N" without "$": the argument with its type's default conversion.
  bool bare = false;
  // An explicit position "N" (bare or "N$") named the argument.
  bool positional = false;
  // 1-based number of the argument written (may exceed the count).
  std::size_t argument = 0;
  // The ordinary specification as written (empty for a bare one).
  std::string_view flags;
  std::string_view widthDigits;
  FormatStar widthStar;
  bool hasPrecision = false;
  std::string_view precisionDigits;
  FormatStar precisionStar;
  std::string_view lengthModifier;
  char conversion = '\0';
  // The sequence counter after this placeholder.
  std::size_t nextSequence = 1;
};

// Reads the placeholder whose "%" is format[start] (not the start of "%%"),
// with count arguments and the sequence counter at nextSequence. Stars take
// their sequence numbers before the argument, as in C ("%*d": width, value).
FormatPlaceholder readFormatPlaceholder(std::string_view format, std::size_t start, std::size_t count,
                                        std::size_t nextSequence);

// ---- Entries --------------------------------------------------------------------

template <class... Arguments>
  requires(sizeof...(Arguments) >= 1 && sizeof...(Arguments) <= 3)
std::string FormatMessage(std::string_view format, const Arguments&... arguments) {
  const std::array<FormatArgument, sizeof...(Arguments)> list{makeFormatArgument(arguments)...};
  char buffer[formatMessageCapacity];
  const std::size_t written = formatMessageInto(buffer, sizeof buffer, format, list.data(), list.size());
  return std::string(buffer, written);
}

// A null format gives the empty text.
template <class... Arguments>
  requires(sizeof...(Arguments) >= 1 && sizeof...(Arguments) <= 3)
std::string FormatMessage(const char* format, const Arguments&... arguments) {
  return FormatMessage(format ? std::string_view(format) : std::string_view(), arguments...);
}

}  // namespace Quor
