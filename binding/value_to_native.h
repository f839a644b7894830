#pragma once
// Assigning a Value to native data: strict rules per target kind, numbers
// checked against the target's range, and the first failure reported through
// the context with one of the fixed messages (binding/conversion_messages.h).
//
// Every operation first looks at the context: entered after a failure, it
// gives number, bool, enum, string, blob and object targets their zero or
// empty value, empties vectors and maps, and leaves structs untouched.
// "name" is the text messages quote as the thing being assigned. Nothing
// here throws for bad input.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "binding/conversion_context.h"
#include "binding/type_description.h"
#include "binding/value.h"

namespace Quor {

// Integer kinds Int8 to UInt64: the accepted number as the target's bits
// (two's complement for signed kinds), or false with the failure reported.
bool integerFromValue(ConversionContext& context, const Value& source, std::string_view name, NativeKind kind,
                      std::uint64_t& bits);
// Writes into a native integer of that kind.
void assignInteger(ConversionContext& context, void* target, NativeKind kind, const Value& source,
                   std::string_view name);

// Float or Double: the accepted number, or false with the failure reported.
bool floatingPointFromValue(ConversionContext& context, const Value& source, std::string_view name, NativeKind kind,
                            double& number);
// Writes into a native float (rounded to single precision) or double.
void assignFloatingPoint(ConversionContext& context, void* target, NativeKind kind, const Value& source,
                         std::string_view name);

void assignBool(ConversionContext& context, bool& target, const Value& source, std::string_view name);
void assignString(ConversionContext& context, std::string& target, const Value& source, std::string_view name);
void assignBlob(ConversionContext& context, std::vector<std::uint8_t>& target, const Value& source,
                std::string_view name);
// Any source, empty included, is deep-copied.
void assignObject(ConversionContext& context, Value& target, const Value& source, std::string_view name);

// The declared number of the registered enum enumType that source stands for,
// or false with the failure reported.
bool enumFromValue(ConversionContext& context, const Value& source, std::string_view name,
                   const TypeDescription* enumType, std::int32_t& number);
// Writes the number with the enum's registered width (1, 2, 4 or 8 bytes).
void assignEnum(ConversionContext& context, void* target, const TypeDescription* enumType, const Value& source,
                std::string_view name);

// A registered struct, field by field in registration order; null structType
// stands for an unregistered type.
void assignStruct(ConversionContext& context, void* record, const Value& source, std::string_view name,
                  const TypeDescription* structType);

// One member of a record, under the field's name: by the field's kind, or by
// its converter when the field is custom or its kind has no built-in rule.
void assignMember(ConversionContext& context, void* record, const Value& source, const FieldDescription& field);

// Whether the kind (and element kind) has a built-in rule that works on the
// native type the kind implies: the scalars, string, object, enum, struct,
// and vectors and maps of scalars, strings and objects.
bool hasBuiltInRule(const TypeRef& type);

// The built-in rule for type into the native data at target; false (nothing
// done) when type has none.
bool assignByType(ConversionContext& context, void* target, const TypeRef& type, const Value& source,
                  std::string_view name);

}  // namespace Quor
