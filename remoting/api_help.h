#pragma once
// The help listing of a registry's functions, types and events, in the full
// format (the BindingFull… records as values) or the epytext format (one
// text per item).

#include <memory>
#include <vector>

#include "binding/function_description.h"
#include "binding/type_description.h"
#include "binding/value.h"
#include "remoting/builtin_types.h"

namespace Quor {

class TypeRegistry;

// "vector" or "map" with the element's identifier type as element type, the
// registered name of an enum or struct ("enum" or "struct" without one), the
// kind's name otherwise.
BindingFullTypeIdentifier typeIdentifier(const TypeRef& type, const TypeRegistry* registry = nullptr);

BindingFullFunctionHelp functionHelp(const FunctionDescription& function, const TypeRegistry* registry);
BindingFullTypeHelp typeHelp(const TypeDescription& type, const TypeRegistry* registry);
BindingFullEventHelp eventHelp(const EventDescription& event, const TypeRegistry* registry);

// Sorts each list by name, byte-wise, and fills result with a structure of
// "functions", "types" and "events": collections of the full records
// converted through registry (which needs the built-in types), or structures
// of epytext texts named by the items. Fails with the conversion's message,
// or for a format that is neither.
void buildHelp(ValueResult& result, const TypeRegistry& registry,
               std::vector<std::shared_ptr<const FunctionDescription>> functions,
               std::vector<const TypeDescription*> types,
               std::vector<std::shared_ptr<const EventDescription>> events, BindingHelpFormat format);

}  // namespace Quor
