#include "binding/type_names.h"

#include "binding/format_message.h"
#include "binding/type_registry.h"

namespace Quor {

namespace {

std::string registeredName(const TypeRef& type, const TypeRegistry* registry) {
  const TypeDescription* description = TypeRegistry::resolve(type, registry);
  return description != nullptr ? description->name : std::string();
}

std::string identifierType(const TypeRef& type, const TypeRegistry* registry) {
  switch (type.kind) {
    case NativeKind::Enum:
    case NativeKind::Struct: {
      std::string name = registeredName(type, registry);
      return name.empty() ? std::string(nativeKindName(type.kind)) : name;
    }
    default:
      return nativeKindName(type.kind);
  }
}

}  // namespace

TypeIdentifierNames typeIdentifierNames(const TypeRef& type, const TypeRegistry* registry) {
  TypeIdentifierNames names;
  names.type = identifierType(type, registry);
  if (type.kind == NativeKind::Vector || type.kind == NativeKind::Map) {
    names.elementType = identifierType(type.elementType(), registry);
  }
  return names;
}

std::string epytextTypeName(const TypeRef& type, const TypeRegistry* registry) {
  switch (type.kind) {
    case NativeKind::Blob:
      return "bytearray";
    case NativeKind::Vector:
      return FormatMessage("list[%1]", epytextTypeName(type.elementType(), registry));
    case NativeKind::Map:
      return FormatMessage("dict[%1]", epytextTypeName(type.elementType(), registry));
    case NativeKind::Enum:
    case NativeKind::Struct:
      return FormatMessage("L{%1}", registeredName(type, registry));
    default:
      return nativeKindName(type.kind);
  }
}

}  // namespace Quor
