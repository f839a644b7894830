#include "remoting/api_help.h"

#include <algorithm>
#include <utility>

#include "binding/format_message.h"
#include "binding/type_names.h"
#include "binding/type_registry.h"
#include "binding/typed_conversion.h"
#include "remoting/epytext_help.h"

namespace Quor {

namespace {

// Names compare byte-wise: std::string compares its characters as unsigned.
template <class Items>
void sortByName(Items& items) {
  std::stable_sort(items.begin(), items.end(), [](const auto& first, const auto& second) {
    return first->name < second->name;
  });
}

void buildEpytext(Value& help, const TypeRegistry& registry,
                  const std::vector<std::shared_ptr<const FunctionDescription>>& functions,
                  const std::vector<const TypeDescription*>& types,
                  const std::vector<std::shared_ptr<const EventDescription>>& events) {
  help.makeStructure();
  Value& functionTexts = help.writeMember("functions");
  functionTexts.makeStructure();
  for (const auto& function : functions) {
    functionTexts.writeMember(function->name).setString(epytextFunctionText(*function, &registry));
  }
  Value& typeTexts = help.writeMember("types");
  typeTexts.makeStructure();
  for (const TypeDescription* type : types) typeTexts.writeMember(type->name).setString(epytextTypeText(*type, &registry));
  Value& eventTexts = help.writeMember("events");
  eventTexts.makeStructure();
  for (const auto& event : events) eventTexts.writeMember(event->name).setString(epytextEventText(*event));
}

}  // namespace

BindingFullTypeIdentifier typeIdentifier(const TypeRef& type, const TypeRegistry* registry) {
  TypeIdentifierNames names = typeIdentifierNames(type, registry);
  return BindingFullTypeIdentifier{std::move(names.type), std::move(names.elementType)};
}

BindingFullFunctionHelp functionHelp(const FunctionDescription& function, const TypeRegistry* registry) {
  BindingFullFunctionHelp help;
  help.name = function.name;
  help.nameSpace = function.nameSpace;
  help.arguments.reserve(function.parameters.size());
  for (const ParameterDescription& parameter : function.parameters) {
    help.arguments.push_back(BindingFullArgumentHelp{parameter.name, parameter.description,
                                                     typeIdentifier(parameter.describedType(), registry),
                                                     parameter.optional});
  }
  help.returns = typeIdentifier(function.describedReturns(), registry);
  help.description = function.description;
  help.help = function.help;
  help.threadSafe = function.threadSafe;
  if (function.async) {
    if (const TypeDescription* result = TypeRegistry::resolve(function.returns, registry); result != nullptr) {
      help.async = result->name;
    }
  }
  help.tags = function.tags;
  return help;
}

BindingFullTypeHelp typeHelp(const TypeDescription& type, const TypeRegistry* registry) {
  BindingFullTypeHelp help;
  help.name = type.name;
  help.nameSpace = type.nameSpace;
  help.size = type.size;
  help.description = type.description;
  help.tags = type.tags;
  help.fields.reserve(type.fields.size());
  for (const FieldDescription& field : type.fields) {
    // A member not marked required may be left out when assigning.
    help.fields.push_back(BindingFullFieldHelp{field.name, field.description, field.offset,
                                               typeIdentifier(field.describedType(), registry),
                                               (field.flags & requiredField) == 0});
  }
  help.values.reserve(type.enumValues.size());
  for (const auto& [valueName, value] : type.enumValues) {
    help.values.push_back(BindingFullEnumValueHelp{value.name, value.description, value.value});
  }
  return help;
}

BindingFullEventHelp eventHelp(const EventDescription& event, const TypeRegistry* registry) {
  BindingFullEventHelp help;
  help.name = event.name;
  help.nameSpace = event.nameSpace;
  const bool isEnum = event.payload != nullptr && event.payload->isEnum;
  help.type = typeIdentifier(TypeRef{isEnum ? NativeKind::Enum : NativeKind::Struct, NativeKind::None, event.payload,
                                     nullptr, nullptr},
                             registry);
  help.description = event.description;
  help.tags = event.tags;
  return help;
}

void buildHelp(ValueResult& result, const TypeRegistry& registry,
               std::vector<std::shared_ptr<const FunctionDescription>> functions,
               std::vector<const TypeDescription*> types,
               std::vector<std::shared_ptr<const EventDescription>> events, BindingHelpFormat format) {
  std::erase(functions, nullptr);
  std::erase(types, nullptr);
  std::erase(events, nullptr);
  sortByName(functions);
  sortByName(types);
  sortByName(events);

  if (format == BindingHelpFormat::Epytext) {
    Value help;
    buildEpytext(help, registry, functions, types, events);
    result = ValueResult(std::move(help));
    return;
  }
  if (format != BindingHelpFormat::Full) {
    result.fail(FormatMessage("Unsupported help format %1", static_cast<std::int32_t>(format)));
    return;
  }
  BindingFullApiHelp api;
  api.functions.reserve(functions.size());
  for (const auto& function : functions) api.functions.push_back(functionHelp(*function, &registry));
  api.types.reserve(types.size());
  for (const TypeDescription* type : types) api.types.push_back(typeHelp(*type, &registry));
  api.events.reserve(events.size());
  for (const auto& event : events) api.events.push_back(eventHelp(*event, &registry));
  convertToValue(result, api, &registry);
}

}  // namespace Quor
