#pragma once
// The NativeKind of a C++ type, and the native type each built-in kind
// implies.
//
//   bool, the fixed-width integers (and long / unsigned long as 32-bit),
//   float, double, std::string, Value (object), std::vector<std::uint8_t>
//   (blob), std::vector<E>, std::unordered_map<std::string, E>, enums, and
//   class types with a StaticTypeSpelling (registered structs).
//   std::optional<T> has the kind of T.

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "binding/native_kind.h"
#include "binding/static_type.h"
#include "binding/value.h"

namespace Quor {

template <class T>
concept HasStaticTypeSpelling = requires { StaticTypeSpelling<T>::text; };

template <class T>
struct NativeTypeTraits {
  static constexpr bool supported = false;
};

namespace detail {

template <NativeKind Kind, NativeKind Element = NativeKind::None>
struct NativeKindTraits {
  static constexpr bool supported = true;
  static constexpr NativeKind kind = Kind;
  static constexpr NativeKind elementKind = Element;
};

}  // namespace detail

template <> struct NativeTypeTraits<bool> : detail::NativeKindTraits<NativeKind::Bool> {};
template <> struct NativeTypeTraits<std::int8_t> : detail::NativeKindTraits<NativeKind::Int8> {};
template <> struct NativeTypeTraits<std::uint8_t> : detail::NativeKindTraits<NativeKind::UInt8> {};
template <> struct NativeTypeTraits<std::int16_t> : detail::NativeKindTraits<NativeKind::Int16> {};
template <> struct NativeTypeTraits<std::uint16_t> : detail::NativeKindTraits<NativeKind::UInt16> {};
template <> struct NativeTypeTraits<std::int32_t> : detail::NativeKindTraits<NativeKind::Int32> {};
template <> struct NativeTypeTraits<std::uint32_t> : detail::NativeKindTraits<NativeKind::UInt32> {};
static_assert(sizeof(long) == 4 && !std::is_same_v<long, std::int32_t>);
template <> struct NativeTypeTraits<long> : detail::NativeKindTraits<NativeKind::Int32> {};
template <> struct NativeTypeTraits<unsigned long> : detail::NativeKindTraits<NativeKind::UInt32> {};
template <> struct NativeTypeTraits<std::int64_t> : detail::NativeKindTraits<NativeKind::Int64> {};
template <> struct NativeTypeTraits<std::uint64_t> : detail::NativeKindTraits<NativeKind::UInt64> {};
template <> struct NativeTypeTraits<float> : detail::NativeKindTraits<NativeKind::Float> {};
template <> struct NativeTypeTraits<double> : detail::NativeKindTraits<NativeKind::Double> {};
template <> struct NativeTypeTraits<std::string> : detail::NativeKindTraits<NativeKind::String> {};
template <> struct NativeTypeTraits<Value> : detail::NativeKindTraits<NativeKind::Object> {};
template <> struct NativeTypeTraits<std::vector<std::uint8_t>> : detail::NativeKindTraits<NativeKind::Blob> {};

template <class E>
  requires NativeTypeTraits<E>::supported
struct NativeTypeTraits<std::vector<E>> : detail::NativeKindTraits<NativeKind::Vector, NativeTypeTraits<E>::kind> {
  using Element = E;
};

template <class E>
  requires NativeTypeTraits<E>::supported
struct NativeTypeTraits<std::unordered_map<std::string, E>>
    : detail::NativeKindTraits<NativeKind::Map, NativeTypeTraits<E>::kind> {
  using Element = E;
};

template <class T>
  requires(std::is_enum_v<T> && HasStaticTypeSpelling<T>)
struct NativeTypeTraits<T> : detail::NativeKindTraits<NativeKind::Enum> {};

template <class T>
  requires(std::is_class_v<T> && HasStaticTypeSpelling<T>)
struct NativeTypeTraits<T> : detail::NativeKindTraits<NativeKind::Struct> {};

template <class T>
  requires NativeTypeTraits<T>::supported
struct NativeTypeTraits<std::optional<T>> : NativeTypeTraits<T> {
  using Contained = T;
};

template <class T>
concept NativeConvertible = NativeTypeTraits<T>::supported;

// The native type the kind-based rules read and write for a scalar kind.
template <NativeKind Kind> struct NaturalType { using type = void; };
template <> struct NaturalType<NativeKind::Bool> { using type = bool; };
template <> struct NaturalType<NativeKind::Int8> { using type = std::int8_t; };
template <> struct NaturalType<NativeKind::UInt8> { using type = std::uint8_t; };
template <> struct NaturalType<NativeKind::Int16> { using type = std::int16_t; };
template <> struct NaturalType<NativeKind::UInt16> { using type = std::uint16_t; };
template <> struct NaturalType<NativeKind::Int32> { using type = std::int32_t; };
template <> struct NaturalType<NativeKind::UInt32> { using type = std::uint32_t; };
template <> struct NaturalType<NativeKind::Int64> { using type = std::int64_t; };
template <> struct NaturalType<NativeKind::UInt64> { using type = std::uint64_t; };
template <> struct NaturalType<NativeKind::Float> { using type = float; };
template <> struct NaturalType<NativeKind::Double> { using type = double; };
template <> struct NaturalType<NativeKind::String> { using type = std::string; };
template <> struct NaturalType<NativeKind::Object> { using type = Value; };

// Calls visit(std::type_identity<T>{}) with the natural type of a scalar kind
// (Bool to Object) and answers true; answers false for any other kind.
template <std::uint32_t Code = 1, class Visit>
bool visitScalarNaturalType(NativeKind kind, Visit&& visit) {
  if constexpr (Code > static_cast<std::uint32_t>(NativeKind::Object)) {
    return false;
  } else {
    if (static_cast<std::uint32_t>(kind) == Code) {
      visit(std::type_identity<typename NaturalType<static_cast<NativeKind>(Code)>::type>{});
      return true;
    }
    return visitScalarNaturalType<Code + 1>(kind, std::forward<Visit>(visit));
  }
}

// Whether T is the type its kind implies, so the kind-based rules may work
// on a member of type T directly: enums and structs through their
// registration, vectors and maps when their elements are (the rules of
// vectors and maps of enums, structs or containers go through the typed
// converter, which reads them as such). Optionals and integers of another
// C++ type than the kind's are not.
template <class T>
constexpr bool isNaturalNativeType() {
  using Traits = NativeTypeTraits<T>;
  if constexpr (!Traits::supported) {
    return false;
  } else if constexpr (requires { typename Traits::Contained; }) {
    return false;
  } else if constexpr (Traits::kind == NativeKind::Enum || Traits::kind == NativeKind::Struct ||
                       Traits::kind == NativeKind::Blob) {
    return true;
  } else if constexpr (Traits::kind == NativeKind::Vector || Traits::kind == NativeKind::Map) {
    return isNaturalNativeType<typename Traits::Element>();
  } else {
    return std::is_same_v<T, typename NaturalType<Traits::kind>::type>;
  }
}

}  // namespace Quor
