#pragma once
// Producing a Value from native data. The Value's kind follows from the
// native kind alone; the only failure of the built-in rules is an
// unregistered struct (or nesting beyond the limit), anywhere in the tree,
// whose message reaches the top-level result unchanged. A failed result never
// holds a partly built tree.

#include <string_view>

#include "binding/conversion_context.h"
#include "binding/type_description.h"
#include "binding/value.h"

namespace Quor {

// A registered struct into target (a structure), field by field in
// registration order; null structType stands for an unregistered type.
void produceStruct(ToValueContext& context, Value& target, const void* record, const TypeDescription* structType);

// One member of a record: by the field's kind, or by its converter when the
// field is custom or its kind has no built-in rule.
void produceMember(ToValueContext& context, Value& target, const void* record, const FieldDescription& field);

// The built-in rule for type from the native data at source; false (nothing
// done) when type has none (see hasBuiltInRule).
bool produceByType(ToValueContext& context, Value& target, const void* source, const TypeRef& type);

// Whether a member holding this value is left out under the flag
// omitWhenDefault: empty, false, 0, an enum numbered 0, or a string, blob,
// collection or structure of size 0.
bool isDefaultValue(const Value& value);

// Sets result from a finished production: the value, or the failure.
void finishToValue(ValueResult& result, const ToValueContext& context, Value&& value);

// A registered struct (structType, or null for an unregistered one) into result.
void convertStructToValue(ValueResult& result, const void* record, const TypeDescription* structType,
                          const TypeRegistry* registry);

}  // namespace Quor
