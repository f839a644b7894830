#include "binding/value.h"

namespace Quor {

const char* valueKindName(unsigned kindNumber) {
  static const char* const names[] = {"empty",  "bool", "signed", "unsigned",   "float",
                                      "string", "blob", "enum",   "collection", "structure"};
  return kindNumber < std::size(names) ? names[kindNumber] : "";
}

const char* valueKindName(ValueKind kind) { return valueKindName(static_cast<unsigned>(kind)); }

}  // namespace Quor
