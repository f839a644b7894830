#pragma once
// Names of a TypeRef for help output: the identifier pair of the full help
// format and the epytext type name.

#include <string>

#include "binding/type_description.h"

namespace Quor {

class TypeRegistry;

struct TypeIdentifierNames {
  std::string type;
  std::string elementType;  // empty except for vectors and maps
};

// Vectors and maps give "vector" and "map" with the element's identifier as
// element type; enums and structs their registered name ("enum" or "struct"
// without a description); every other kind its NativeKind name. An enum or
// struct registered after the reference was made is found in registry when
// given.
TypeIdentifierNames typeIdentifierNames(const TypeRef& type, const TypeRegistry* registry = nullptr);

// "list[%1]", "dict[%1]", "L{%1}", "bytearray" or the kind's name, elements
// named to their full depth; the empty text for kind None or an unknown kind.
std::string epytextTypeName(const TypeRef& type, const TypeRegistry* registry = nullptr);

}  // namespace Quor
