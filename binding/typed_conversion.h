#pragma once
// Conversions between Value trees and native data whose C++ type is known at
// compile time: bound arguments and results, typed requests and events, and
// the converters of registered fields. The rules are those of
// binding/value_to_native.h and binding/native_to_value.h; enums and structs
// are found in the context's registry by their StaticType hash code.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "binding/conversion_context.h"
#include "binding/conversion_messages.h"
#include "binding/format_message.h"
#include "binding/native_to_value.h"
#include "binding/native_type_traits.h"
#include "binding/type_registry.h"
#include "binding/value.h"
#include "binding/value_to_native.h"

namespace Quor {

namespace detail {

template <class T>
const TypeDescription* registeredDescription(const TypeRegistry* registry) {
  return registry != nullptr ? registry->find<T>() : nullptr;
}

// The number an enum of that width holds, as the kind-based rules read it.
template <class T>
std::int32_t enumNumber(T value) {
  using Underlying = std::underlying_type_t<T>;
  const auto raw = static_cast<Underlying>(value);
  if constexpr (sizeof(T) == 1) {
    return static_cast<std::int8_t>(raw);
  } else if constexpr (sizeof(T) == 2) {
    return static_cast<std::int16_t>(raw);
  } else {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(raw)));
  }
}

}  // namespace detail

// ---- Value to native -----------------------------------------------------------------

template <NativeConvertible T>
void assignNative(ConversionContext& context, T& target, const Value& source, std::string_view name);

template <class E>
void assignVector(ConversionContext& context, std::vector<E>& target, const Value& source, std::string_view name) {
  target.clear();
  if (!context.ok()) return;
  if (source.kind() != ValueKind::Collection) {
    if (std::is_same_v<E, bool> && source.isEmpty()) {
      context.fail(FormatMessage(ConversionMessages::required, name));
    } else {
      context.fail(FormatMessage(ConversionMessages::vectorNotCollection, name));
    }
    return;
  }
  const NestingLevel level(context, name);
  if (!level) return;
  const auto elements = source.elements();
  target.resize(elements.size());
  for (std::size_t index = 0; index < elements.size() && context.ok(); ++index) {
    if (elements[index].isEmpty()) continue;
    if constexpr (std::is_same_v<E, bool>) {
      bool element = false;
      assignNative(context, element, elements[index], name);
      target[index] = element;
    } else {
      assignNative(context, target[index], elements[index], name);
    }
  }
}

template <class E>
void assignMap(ConversionContext& context, std::unordered_map<std::string, E>& target, const Value& source,
               std::string_view name) {
  target.clear();
  if (!context.ok()) return;
  if (source.kind() != ValueKind::Structure) {
    context.fail(FormatMessage(ConversionMessages::mapNotStructure, name));
    return;
  }
  const NestingLevel level(context, name);
  if (!level) return;
  target.reserve(source.size());
  for (const MemberView member : source.members()) {
    if (!context.ok()) break;
    if (member.value.isEmpty()) continue;
    assignNative(context, target[std::string(member.name)], member.value, name);
  }
}

template <NativeConvertible T>
void assignNative(ConversionContext& context, T& target, const Value& source, std::string_view name) {
  using Traits = NativeTypeTraits<T>;
  if constexpr (requires { typename Traits::Contained; }) {
    // Optional: an empty source leaves it without a value.
    if (!context.ok() || source.isEmpty()) {
      target.reset();
      return;
    }
    assignNative(context, target.emplace(), source, name);
  } else if constexpr (Traits::kind == NativeKind::Bool) {
    assignBool(context, target, source, name);
  } else if constexpr (Traits::kind >= NativeKind::Int8 && Traits::kind <= NativeKind::UInt64) {
    // Entered after a failure the target gets 0; its own failure leaves it.
    std::uint64_t bits = 0;
    if (!context.ok()) {
      target = T{};
    } else if (integerFromValue(context, source, name, Traits::kind, bits)) {
      target = static_cast<T>(bits);
    }
  } else if constexpr (Traits::kind == NativeKind::Float || Traits::kind == NativeKind::Double) {
    double number = 0;
    if (!context.ok()) {
      target = T{};
    } else if (floatingPointFromValue(context, source, name, Traits::kind, number)) {
      target = static_cast<T>(number);
    }
  } else if constexpr (Traits::kind == NativeKind::String) {
    assignString(context, target, source, name);
  } else if constexpr (Traits::kind == NativeKind::Object) {
    assignObject(context, target, source, name);
  } else if constexpr (Traits::kind == NativeKind::Blob) {
    assignBlob(context, target, source, name);
  } else if constexpr (Traits::kind == NativeKind::Vector) {
    assignVector(context, target, source, name);
  } else if constexpr (Traits::kind == NativeKind::Map) {
    assignMap(context, target, source, name);
  } else if constexpr (Traits::kind == NativeKind::Enum) {
    std::int32_t number = 0;
    if (!context.ok()) {
      target = T{};
    } else if (enumFromValue(context, source, name, detail::registeredDescription<T>(context.registry()), number)) {
      target = static_cast<T>(number);
    }
  } else {
    static_assert(Traits::kind == NativeKind::Struct);
    assignStruct(context, &target, source, name, detail::registeredDescription<T>(context.registry()));
  }
}

// Assigns source to target under name; the answer carries the first failure.
template <NativeConvertible T>
ValueResult assignFromValue(T& target, const Value& source, std::string_view name, const TypeRegistry* registry) {
  ValueResult result;
  ConversionContext context(result, registry);
  assignNative(context, target, source, name);
  return result;
}

// ---- Native to Value ------------------------------------------------------------------

template <NativeConvertible T>
void produceNative(ToValueContext& context, Value& target, const T& source);

template <class E>
void produceVector(ToValueContext& context, Value& target, const std::vector<E>& source) {
  if (!context.ok()) return;
  if (source.size() > Value::maxReserve) {
    context.fail(FormatMessage(ConversionMessages::nativeVectorTooLarge, static_cast<std::uint64_t>(source.size())));
    return;
  }
  const NestingLevel level(context);
  if (!level) return;
  target.makeCollection();
  target.reserve(source.size());
  std::size_t index = 0;
  for (const auto& element : source) {
    if constexpr (std::is_same_v<E, bool>) {
      produceNative(context, target.writeElement(index), static_cast<bool>(element));
    } else {
      produceNative(context, target.writeElement(index), element);
    }
    if (!context.ok()) return;
    ++index;
  }
}

template <class E>
void produceMap(ToValueContext& context, Value& target, const std::unordered_map<std::string, E>& source) {
  if (!context.ok()) return;
  const NestingLevel level(context);
  if (!level) return;
  target.makeStructure();
  for (const auto& [key, element] : source) {
    produceNative(context, target.writeMember(key), element);
    if (!context.ok()) return;
  }
}

template <NativeConvertible T>
void produceNative(ToValueContext& context, Value& target, const T& source) {
  using Traits = NativeTypeTraits<T>;
  if (!context.ok()) return;
  if constexpr (requires { typename Traits::Contained; }) {
    if (source.has_value()) {
      produceNative(context, target, *source);
    } else {
      target.setEmpty();
    }
  } else if constexpr (Traits::kind == NativeKind::Bool) {
    target.setBool(source);
  } else if constexpr (Traits::kind == NativeKind::Int8 || Traits::kind == NativeKind::Int16 ||
                       Traits::kind == NativeKind::Int32 || Traits::kind == NativeKind::Int64) {
    target.setSigned(static_cast<std::int64_t>(source));
  } else if constexpr (Traits::kind == NativeKind::UInt8 || Traits::kind == NativeKind::UInt16 ||
                       Traits::kind == NativeKind::UInt32 || Traits::kind == NativeKind::UInt64) {
    target.setUnsigned(static_cast<std::uint64_t>(source));
  } else if constexpr (Traits::kind == NativeKind::Float || Traits::kind == NativeKind::Double) {
    target.setFloat(static_cast<double>(source));
  } else if constexpr (Traits::kind == NativeKind::String) {
    target.setString(std::string_view(source));
  } else if constexpr (Traits::kind == NativeKind::Object) {
    target = source;
  } else if constexpr (Traits::kind == NativeKind::Blob) {
    target.setBlob(source.data(), source.size());
  } else if constexpr (Traits::kind == NativeKind::Vector) {
    produceVector(context, target, source);
  } else if constexpr (Traits::kind == NativeKind::Map) {
    produceMap(context, target, source);
  } else if constexpr (Traits::kind == NativeKind::Enum) {
    target.setEnum(EnumValue{detail::enumNumber(source), &StaticType::HashRecord<T>().code});
  } else {
    static_assert(Traits::kind == NativeKind::Struct);
    produceStruct(context, target, &source, detail::registeredDescription<T>(context.registry()));
  }
}

// Converts source into result (success and the value, or the failure).
template <NativeConvertible T>
void convertToValue(ValueResult& result, const T& source, const TypeRegistry* registry) {
  ToValueContext context(registry);
  Value value;
  produceNative(context, value, source);
  finishToValue(result, context, std::move(value));
}

// ---- Field converters and typed fields ----------------------------------------------------

// The converter of a member of native type T; one shared instance per type.
template <NativeConvertible T>
class TypedFieldConverter final : public FieldConverter {
 public:
  void assign(ConversionContext& context, void* member, const Value& source, std::string_view name) const override {
    assignNative(context, *static_cast<T*>(member), source, name);
  }
  void produce(ToValueContext& context, Value& target, const void* member) const override {
    produceNative(context, target, *static_cast<const T*>(member));
  }
  void release() noexcept override {}

  static TypedFieldConverter* instance() {
    static TypedFieldConverter converter;
    return &converter;
  }
};

// The TypeRef of native type T, to the full depth of its elements. An enum
// or struct (also a vector's or map's) carries its hash-code record and, when
// registry knows it already, its description.
template <NativeConvertible T>
TypeRef typeRefOf(const TypeRegistry& registry) {
  using Traits = NativeTypeTraits<T>;
  if constexpr (requires { typename Traits::Contained; }) {
    return typeRefOf<typename Traits::Contained>(registry);
  } else if constexpr (Traits::kind == NativeKind::Enum || Traits::kind == NativeKind::Struct) {
    return TypeRef{Traits::kind, NativeKind::None, registry.find<T>(), &StaticType::HashRecord<T>(), nullptr};
  } else if constexpr (Traits::kind == NativeKind::Vector) {
    return vectorOf(typeRefOf<typename Traits::Element>(registry));
  } else if constexpr (Traits::kind == NativeKind::Map) {
    return mapOf(typeRefOf<typename Traits::Element>(registry));
  } else {
    return TypeRef{Traits::kind, Traits::elementKind, nullptr, nullptr, nullptr};
  }
}

// The field is custom only when the member's C++ type is not the one its
// kind implies (the kind-based rules would misread it); whether its enum or
// struct is registered yet does not matter, it is found when used.
template <class Member>
TypeBuilder& TypeBuilder::field(std::string_view name, std::uint32_t offset, std::string_view description,
                                std::uint8_t flags) {
  static_assert(NativeConvertible<Member>, "the member's type has no conversion");
  const TypeRef type = typeRefOf<Member>(registry_);
  return addField(name, description, offset, &StaticType::HashRecord<Member>(), type, nullptr, flags,
                  TypedFieldConverter<Member>::instance(), !isNaturalNativeType<Member>());
}

}  // namespace Quor
