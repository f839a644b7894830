#include "binding/native_kind.h"

#include <iterator>

namespace Quor {

const char* nativeKindName(std::uint32_t kindNumber) {
  static const char* const names[] = {"",       "bool",  "int8",   "uint8",  "int16",  "uint16", "int32",
                                      "uint32", "int64", "uint64", "float",  "double", "string", "object",
                                      "blob",   "vector", "enum",  "struct", "callback", "map"};
  static_assert(std::size(names) == nativeKindCount);
  return kindNumber < std::size(names) ? names[kindNumber] : "";
}

const char* nativeKindName(NativeKind kind) { return nativeKindName(static_cast<std::uint32_t>(kind)); }

std::uint32_t nativeKindCode(NativeKind kind) {
  const auto code = static_cast<std::uint32_t>(kind);
  return code < nativeKindCount ? code : 0;
}

}  // namespace Quor
