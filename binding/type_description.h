#pragma once
// Descriptions of registered native types: what the conversions, the help
// listing and the core's API description know about a struct or an enum.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "binding/native_kind.h"
#include "binding/static_type.h"

namespace Quor {

class ConversionContext;
class ToValueContext;
class TypeRegistry;
class Value;
struct TypeDescription;

// The type of a member, argument or result.
//
// kind, elementKind and the enum or struct involved are the one level the
// core's records carry; element keeps the whole element type of a vector or
// map, to any depth. An enum or struct registered after the reference was
// made is found later through typeHash (TypeRegistry::resolve), so a
// description never has to change once registered.
struct TypeRef {
  TypeRef() = default;
  TypeRef(NativeKind kind, NativeKind elementKind = NativeKind::None, const TypeDescription* description = nullptr,
          const TypeHashRecord* typeHash = nullptr, std::shared_ptr<const TypeRef> element = nullptr)
      : kind(kind), elementKind(elementKind), description(description), typeHash(typeHash), element(std::move(element)) {}

  NativeKind kind = NativeKind::None;
  // The kind of a vector's elements or a map's values; None otherwise.
  NativeKind elementKind = NativeKind::None;
  // The registered enum or struct involved (also that of a vector's or a
  // map's elements); null otherwise or when it was not registered yet.
  const TypeDescription* description = nullptr;
  // The hash-code record of that enum or struct, when known.
  const TypeHashRecord* typeHash = nullptr;
  // The element type of a vector or map; when absent, the element is
  // elementKind with this reference's enum or struct.
  std::shared_ptr<const TypeRef> element;

  TypeRef elementType() const {
    if (element != nullptr) return *element;
    return TypeRef{elementKind, NativeKind::None, description, typeHash, nullptr};
  }
};

// A vector or map whose elements are of type element.
TypeRef vectorOf(const TypeRef& element);
TypeRef mapOf(const TypeRef& element);

// Converts one member whose kind has no built-in rule, or that is marked
// custom. A converter knows the member's native type.
class FieldConverter {
 public:
  // Assigns the member from source; failures go to the context.
  virtual void assign(ConversionContext& context, void* member, const Value& source,
                      std::string_view name) const = 0;
  // Writes the member's value into target; failures go to the context.
  virtual void produce(ToValueContext& context, Value& target, const void* member) const = 0;
  // Gives the converter up; a shared converter does nothing here.
  virtual void release() noexcept = 0;

 protected:
  ~FieldConverter() = default;
};

struct FieldConverterRelease {
  void operator()(FieldConverter* converter) const noexcept {
    if (converter != nullptr) converter->release();
  }
};
using FieldConverterHandle = std::unique_ptr<FieldConverter, FieldConverterRelease>;

enum FieldFlags : std::uint8_t {
  // Leave the member out of a structure made from a native record while it
  // holds its default.
  omitWhenDefault = 1,
  // The member must be present when assigning from a Value.
  requiredField = 2,
};

struct FieldDescription {
  std::string name;
  std::uint32_t nameHash = 0;  // FNV-1a of the name
  std::string description;
  const TypeHashRecord* typeHash = nullptr;  // the member type's hash-code record
  std::uint32_t offset = 0;                  // byte offset in the native record
  TypeRef type;                              // what the conversions use
  TypeRef declaredType;                      // described to the core instead when its kind is not None
  std::uint8_t flags = 0;
  FieldConverterHandle converter;
  bool custom = false;  // always use the converter

  const TypeRef& describedType() const { return declaredType.kind != NativeKind::None ? declaredType : type; }
};

struct EnumValueDescription {
  std::int32_t value = 0;
  std::string name;
  std::string description;
  const TypeDescription* owner = nullptr;
};

struct TypeDescription {
  std::uint32_t size = 0;  // of the native type; an enum's width 1, 2, 4 or 8
  bool isEnum = false;
  std::string name;
  std::uint32_t hashCode = 0;
  const TypeHashRecord* hashRecord = nullptr;
  std::string nameSpace;
  std::string description;
  std::vector<std::string> tags;
  std::vector<FieldDescription> fields;  // registration order
  std::map<std::string, EnumValueDescription, std::less<>> enumValues;  // by name
  const TypeRegistry* registry = nullptr;

  // The address an EnumValue of this type refers to: the static record's code
  // when there is one, so that the value never dangles.
  const std::uint32_t* hashCodeAddress() const { return hashRecord != nullptr ? &hashRecord->code : &hashCode; }

  // The first value in name order with that number, or null.
  const EnumValueDescription* findEnumValue(std::int32_t number) const;
  bool declaresEnumValue(std::int32_t number) const { return findEnumValue(number) != nullptr; }
  const EnumValueDescription* findEnumName(std::string_view valueName) const;
};

}  // namespace Quor
