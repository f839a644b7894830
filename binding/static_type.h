#pragma once
// Type identity without registration: StaticType::HashCode<T>() is a stable
// 32-bit code per native type, StaticType::Name<T>() its name text.
//
// The code is the FNV-1a hash of the function signature that the platform's
// own compiler writes for StaticType::HashCode<T>, so codes agree with those
// of the core and of other plugins:
//   "unsigned int __cdecl StaticType::HashCode<" + written form of T + ">(void)"
// This compiler writes signatures differently, so the written form of every
// type is spelled out here: StaticTypeSpelling<T>::text. Class, struct and
// enum names carry their keyword and full namespace, the standard string is
// "class std::basic_string<char,struct std::char_traits<char>,class
// std::allocator<char> >", and inside a written form a template argument
// that itself ends in ">" is closed with " >" (the signature's own closing
// ">" follows the form directly).
//
// A type of this library declares its written form once, at global scope,
// next to its definition:
//   QUOR_STATIC_TYPE(Quor::RemotingRequest, "struct Quor::RemotingRequest");

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "binding/fnv1a.h"

namespace Quor {

// A text of fixed length usable in constant expressions, NUL-terminated.
template <std::size_t N>
struct FixedText {
  char characters[N + 1] = {};

  constexpr FixedText() = default;
  constexpr FixedText(const char (&text)[N + 1]) {
    for (std::size_t index = 0; index <= N; ++index) characters[index] = text[index];
  }

  static constexpr std::size_t size() { return N; }
  constexpr std::string_view view() const { return {characters, N}; }
  constexpr const char* c_str() const { return characters; }
  constexpr bool endsWithAngle() const { return N != 0 && characters[N - 1] == '>'; }
};

template <std::size_t N>
FixedText(const char (&)[N]) -> FixedText<N - 1>;

template <std::size_t A, std::size_t B>
constexpr FixedText<A + B> operator+(const FixedText<A>& first, const FixedText<B>& second) {
  FixedText<A + B> joined;
  for (std::size_t index = 0; index < A; ++index) joined.characters[index] = first.characters[index];
  for (std::size_t index = 0; index < B; ++index) joined.characters[A + index] = second.characters[index];
  joined.characters[A + B] = '\0';
  return joined;
}

// The written form of T. Undefined for types that have none: using
// StaticType with such a type does not compile.
template <class T>
struct StaticTypeSpelling;

namespace detail {

// Closes a template argument list after its last argument.
template <const auto& lastArgument>
constexpr auto closeTemplate() {
  if constexpr (lastArgument.endsWithAngle()) {
    return FixedText(" >");
  } else {
    return FixedText(">");
  }
}

template <class T>
inline constexpr auto spellingOf = StaticTypeSpelling<T>::text;

}  // namespace detail

#define QUOR_FUNDAMENTAL_SPELLING(Type, Spelling)          \
  template <>                                              \
  struct StaticTypeSpelling<Type> {                        \
    static constexpr auto text = FixedText(Spelling);      \
  };

QUOR_FUNDAMENTAL_SPELLING(void, "void")
QUOR_FUNDAMENTAL_SPELLING(bool, "bool")
QUOR_FUNDAMENTAL_SPELLING(char, "char")
QUOR_FUNDAMENTAL_SPELLING(signed char, "signed char")
QUOR_FUNDAMENTAL_SPELLING(unsigned char, "unsigned char")
QUOR_FUNDAMENTAL_SPELLING(short, "short")
QUOR_FUNDAMENTAL_SPELLING(unsigned short, "unsigned short")
QUOR_FUNDAMENTAL_SPELLING(int, "int")
QUOR_FUNDAMENTAL_SPELLING(unsigned int, "unsigned int")
QUOR_FUNDAMENTAL_SPELLING(long, "long")
QUOR_FUNDAMENTAL_SPELLING(unsigned long, "unsigned long")
QUOR_FUNDAMENTAL_SPELLING(long long, "__int64")
QUOR_FUNDAMENTAL_SPELLING(unsigned long long, "unsigned __int64")
QUOR_FUNDAMENTAL_SPELLING(float, "float")
QUOR_FUNDAMENTAL_SPELLING(double, "double")
QUOR_FUNDAMENTAL_SPELLING(std::string,
                          "class std::basic_string<char,struct std::char_traits<char>,class std::allocator<char> >")

#undef QUOR_FUNDAMENTAL_SPELLING

class Value;
template <>
struct StaticTypeSpelling<Value> {
  static constexpr auto text = FixedText("class Quor::Value");
};

template <class T>
struct StaticTypeSpelling<std::vector<T>> {
 private:
  static constexpr auto allocator =
      FixedText("class std::allocator<") + detail::spellingOf<T> + detail::closeTemplate<detail::spellingOf<T>>();

 public:
  static constexpr auto text = FixedText("class std::vector<") + detail::spellingOf<T> + FixedText(",") + allocator +
                               detail::closeTemplate<allocator>();
};

template <class T>
struct StaticTypeSpelling<std::optional<T>> {
  static constexpr auto text =
      FixedText("class std::optional<") + detail::spellingOf<T> + detail::closeTemplate<detail::spellingOf<T>>();
};

template <class V>
struct StaticTypeSpelling<std::unordered_map<std::string, V>> {
 private:
  static constexpr auto& key = detail::spellingOf<std::string>;
  static constexpr auto hash = FixedText("struct std::hash<") + key + FixedText(" >");
  static constexpr auto equal = FixedText("struct std::equal_to<") + key + FixedText(" >");
  static constexpr auto pair = FixedText("struct std::pair<") + key + FixedText(" const ,") + detail::spellingOf<V> +
                               detail::closeTemplate<detail::spellingOf<V>>();
  static constexpr auto allocator = FixedText("class std::allocator<") + pair + FixedText(" >");

 public:
  static constexpr auto text = FixedText("class std::unordered_map<") + key + FixedText(",") + detail::spellingOf<V> +
                               FixedText(",") + hash + FixedText(",") + equal + FixedText(",") + allocator +
                               FixedText(" >");
};

// The per-type record of a hash code: the code and its display text "#%08X".
struct TypeHashRecord {
  std::uint32_t code;
  char text[10];
};

// The per-type record of a name: the signature text and the hash code.
struct TypeNameRecord {
  const char* name;
  std::uint32_t code;
};

namespace StaticType {

namespace detail {

constexpr TypeHashRecord makeHashRecord(std::uint32_t code) {
  constexpr char digits[] = "0123456789ABCDEF";
  TypeHashRecord record{code, {}};
  record.text[0] = '#';
  for (int index = 0; index < 8; ++index) record.text[1 + index] = digits[(code >> (28 - 4 * index)) & 0xF];
  record.text[9] = '\0';
  return record;
}

template <class T>
inline constexpr auto hashSignature = FixedText("unsigned int __cdecl StaticType::HashCode<") +
                                      Quor::detail::spellingOf<T> + FixedText(">(void)");

template <class T>
inline constexpr auto nameSignature =
    FixedText("const char *__cdecl StaticType::Name<") + Quor::detail::spellingOf<T> + FixedText(">(void)");

template <class T>
inline constexpr TypeHashRecord hashRecord = makeHashRecord(fnv1a(hashSignature<T>.view()));

template <class T>
inline constexpr TypeNameRecord nameRecord{nameSignature<T>.c_str(), hashRecord<T>.code};

}  // namespace detail

template <class T>
constexpr std::uint32_t HashCode() {
  return detail::hashRecord<T>.code;
}

// The record lives for the process; an EnumValue refers to its code.
template <class T>
constexpr const TypeHashRecord& HashRecord() {
  return detail::hashRecord<T>;
}

template <class T>
constexpr const char* Name() {
  return detail::nameRecord<T>.name;
}

template <class T>
constexpr const TypeNameRecord& NameRecord() {
  return detail::nameRecord<T>;
}

}  // namespace StaticType

// The hash code of void: types registered with it are found by name only.
inline constexpr std::uint32_t voidHashCode = StaticType::HashCode<void>();

}  // namespace Quor

// Declares the written form of a type of this library; use at global scope.
#define QUOR_STATIC_TYPE(Type, Spelling)                       \
  template <>                                                  \
  struct Quor::StaticTypeSpelling<Type> {                      \
    static constexpr auto text = ::Quor::FixedText(Spelling);  \
  }
