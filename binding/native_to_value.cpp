#include "binding/native_to_value.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/conversion_messages.h"
#include "binding/format_message.h"
#include "binding/typed_conversion.h"
#include "binding/value_to_native.h"

namespace Quor {

namespace Messages = ConversionMessages;

namespace {

// The number of an enum of that width: 1 and 2 bytes sign-extended, 4 as is,
// the low 4 bytes of 8.
bool readEnum(const void* source, std::uint32_t width, std::int32_t& number) {
  switch (width) {
    case 1: number = *static_cast<const std::int8_t*>(source); return true;
    case 2: number = *static_cast<const std::int16_t*>(source); return true;
    case 4: number = *static_cast<const std::int32_t*>(source); return true;
    case 8:
      number = static_cast<std::int32_t>(
          static_cast<std::uint32_t>(static_cast<std::uint64_t>(*static_cast<const std::int64_t*>(source))));
      return true;
    default: return false;
  }
}

template <class Native>
void produceTyped(ToValueContext& context, Value& target, const void* source) {
  produceNative(context, target, *static_cast<const Native*>(source));
}

template <template <class> class Container>
bool produceContainerOfScalars(ToValueContext& context, Value& target, const void* source, NativeKind elementKind) {
  return visitScalarNaturalType(elementKind, [&](auto element) {
    produceTyped<Container<typename decltype(element)::type>>(context, target, source);
  });
}

template <class E>
using VectorOf = std::vector<E>;
template <class E>
using MapOf = std::unordered_map<std::string, E>;

}  // namespace

bool isDefaultValue(const Value& value) {
  switch (value.kind()) {
    case ValueKind::Empty: return true;
    case ValueKind::Bool: return !value.getBool();
    case ValueKind::Signed: return value.getSigned() == 0;
    case ValueKind::Unsigned: return value.getUnsigned() == 0;
    case ValueKind::Float: return value.getFloat() == 0.0;
    case ValueKind::Enum: return value.getEnum().number == 0;
    default: return value.size() == 0;
  }
}

void produceStruct(ToValueContext& context, Value& target, const void* record, const TypeDescription* structType) {
  if (!context.ok()) return;
  if (structType == nullptr || structType->isEnum) {
    context.fail(Messages::unregisteredNativeStructure);
    return;
  }
  const NestingLevel level(context);
  if (!level) return;
  target.makeStructure();
  for (const FieldDescription& field : structType->fields) {
    if ((field.flags & omitWhenDefault) != 0) {
      Value fresh;
      produceMember(context, fresh, record, field);
      if (!context.ok()) return;
      if (!isDefaultValue(fresh)) target.writeMember(field.name) = std::move(fresh);
    } else {
      produceMember(context, target.writeMember(field.name), record, field);
      if (!context.ok()) return;
    }
  }
}

void produceMember(ToValueContext& context, Value& target, const void* record, const FieldDescription& field) {
  if (!context.ok()) return;
  const void* member = static_cast<const unsigned char*>(record) + field.offset;
  if (field.custom || !hasBuiltInRule(field.type)) {
    if (field.converter != nullptr) {
      field.converter->produce(context, target, member);
    } else {
      context.fail(FormatMessage(Messages::noNativeConverter, nativeKindName(field.type.kind)));
    }
    return;
  }
  produceByType(context, target, member, field.type);
}

bool produceByType(ToValueContext& context, Value& target, const void* source, const TypeRef& type) {
  if (!context.ok()) return true;
  if (visitScalarNaturalType(type.kind, [&](auto native) {
        produceTyped<typename decltype(native)::type>(context, target, source);
      })) {
    return true;
  }
  switch (type.kind) {
    case NativeKind::Blob: produceTyped<std::vector<std::uint8_t>>(context, target, source); return true;
    case NativeKind::Enum: {
      const TypeDescription* enumType = TypeRegistry::resolve(type, context.registry());
      std::int32_t number = 0;
      if (enumType == nullptr || !enumType->isEnum || !readEnum(source, enumType->size, number)) {
        context.fail(Messages::unregisteredNativeEnumeration);
        return true;
      }
      target.setEnum(EnumValue{number, enumType->hashCodeAddress()});
      return true;
    }
    case NativeKind::Struct:
      produceStruct(context, target, source, TypeRegistry::resolve(type, context.registry()));
      return true;
    case NativeKind::Vector:
      return produceContainerOfScalars<VectorOf>(context, target, source, type.elementKind);
    case NativeKind::Map:
      return produceContainerOfScalars<MapOf>(context, target, source, type.elementKind);
    default:
      return false;
  }
}

void finishToValue(ValueResult& result, const ToValueContext& context, Value&& value) {
  if (!context.ok()) {
    result.fail(context.error());
    return;
  }
  result = ValueResult(std::move(value));
}

void convertStructToValue(ValueResult& result, const void* record, const TypeDescription* structType,
                          const TypeRegistry* registry) {
  ToValueContext context(registry);
  Value value;
  produceStruct(context, value, record, structType);
  finishToValue(result, context, std::move(value));
}

}  // namespace Quor
