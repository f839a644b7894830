#pragma once
// The kind of a native member, argument or result, as the type registry and
// the conversions see it.

#include <cstdint>

namespace Quor {

enum class NativeKind : std::uint32_t {
  None = 0,
  Bool = 1,
  Int8 = 2,
  UInt8 = 3,
  Int16 = 4,
  UInt16 = 5,
  Int32 = 6,
  UInt32 = 7,
  Int64 = 8,
  UInt64 = 9,
  Float = 10,
  Double = 11,
  String = 12,
  Object = 13,  // a Value held natively
  Blob = 14,    // a byte vector
  Vector = 15,
  Enum = 16,    // a registered enum
  Struct = 17,  // a registered struct
  Callback = 18,
  Map = 19,     // string keys to an element kind
};

inline constexpr std::uint32_t nativeKindCount = 20;

// The name messages print ("bool", "int8", ... "map"); the empty text for a
// number outside 1 to 19.
const char* nativeKindName(NativeKind kind);
const char* nativeKindName(std::uint32_t kindNumber);

// The kind number as written into host records: 0 outside 1 to 19.
std::uint32_t nativeKindCode(NativeKind kind);

}  // namespace Quor
