#include "binding/type_names.h"

#include "binding/format_message.h"
#include "binding/type_description.h"

namespace Quor {

namespace {

// A TypeRef carries one level of element kind: the element of a vector or map
// is known by its kind and, for enums and structs, its description.
TypeRef elementOf(const TypeRef& type) { return TypeRef{type.elementKind, NativeKind::None, type.description}; }

std::string identifierType(const TypeRef& type) {
  switch (type.kind) {
    case NativeKind::Enum:
    case NativeKind::Struct:
      return type.description != nullptr ? type.description->name : nativeKindName(type.kind);
    default:
      return nativeKindName(type.kind);
  }
}

}  // namespace

TypeIdentifierNames typeIdentifierNames(const TypeRef& type) {
  TypeIdentifierNames names;
  names.type = identifierType(type);
  if (type.kind == NativeKind::Vector || type.kind == NativeKind::Map) {
    names.elementType = identifierType(elementOf(type));
  }
  return names;
}

std::string epytextTypeName(const TypeRef& type) {
  switch (type.kind) {
    case NativeKind::Blob:
      return "bytearray";
    case NativeKind::Vector:
      return FormatMessage("list[%1]", epytextTypeName(elementOf(type)));
    case NativeKind::Map:
      return FormatMessage("dict[%1]", epytextTypeName(elementOf(type)));
    case NativeKind::Enum:
    case NativeKind::Struct:
      return FormatMessage("L{%1}", type.description != nullptr ? type.description->name : std::string());
    default:
      return nativeKindName(type.kind);
  }
}

}  // namespace Quor
