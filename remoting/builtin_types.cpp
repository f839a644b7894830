#include "remoting/builtin_types.h"

#include <cstddef>
#include <memory>

#include "binding/function_description.h"
#include "binding/type_registry.h"
#include "binding/typed_conversion.h"

namespace Quor {

namespace {

const char builtinTag[] = "$builtin";
const char helpTag[] = "help";
const char asyncTag[] = "async";

template <class T>
TypeBuilder helpRecord(TypeRegistry& registry, const char* name, const char* description) {
  TypeBuilder builder = registry.registerStruct<T>(name);
  builder.setDescription(description).addTag(builtinTag).addTag(helpTag);
  return builder;
}

void registerHelpTypes(TypeRegistry& registry) {
  registry.registerEnum<BindingHelpFormat>("BindingHelpFormat")
      .addEnumValue("Full", 1, "Native help format")
      .addEnumValue("Epytext", 2, "Python epytext format")
      .setDescription("Help format for binding functions and types.")
      .addTag(builtinTag)
      .addTag(helpTag);

  using TypeIdentifier = BindingFullTypeIdentifier;
  helpRecord<TypeIdentifier>(registry, "BindingFullTypeIdentifier", "Describes the type of a value.")
      .field<std::string>("type", offsetof(TypeIdentifier, type))
      .field<std::string>("elementType", offsetof(TypeIdentifier, elementType));

  using Argument = BindingFullArgumentHelp;
  helpRecord<Argument>(registry, "BindingFullArgumentHelp", "Describes a function parameter.")
      .field<std::string>("name", offsetof(Argument, name))
      .field<std::string>("description", offsetof(Argument, description))
      .field<TypeIdentifier>("type", offsetof(Argument, type))
      .field<bool>("optional", offsetof(Argument, optional));

  using Function = BindingFullFunctionHelp;
  helpRecord<Function>(registry, "BindingFullFunctionHelp", "Describes a function.")
      .field<std::string>("name", offsetof(Function, name))
      .field<std::string>("nameSpace", offsetof(Function, nameSpace))
      .field<std::vector<Argument>>("arguments", offsetof(Function, arguments))
      .field<TypeIdentifier>("returns", offsetof(Function, returns))
      .field<std::string>("description", offsetof(Function, description))
      .field<std::string>("help", offsetof(Function, help))
      .field<bool>("threadSafe", offsetof(Function, threadSafe))
      .field<std::string>("async", offsetof(Function, async))
      .field<std::vector<std::string>>("tags", offsetof(Function, tags));

  using EnumValueHelp = BindingFullEnumValueHelp;
  helpRecord<EnumValueHelp>(registry, "BindingFullEnumValueHelp", "Describes an enumerator.")
      .field<std::string>("name", offsetof(EnumValueHelp, name))
      .field<std::string>("description", offsetof(EnumValueHelp, description))
      .field<std::int32_t>("value", offsetof(EnumValueHelp, value));

  using Field = BindingFullFieldHelp;
  helpRecord<Field>(registry, "BindingFullFieldHelp", "Describes a member of a struct.")
      .field<std::string>("name", offsetof(Field, name))
      .field<std::string>("description", offsetof(Field, description))
      .field<std::uint32_t>("offset", offsetof(Field, offset))
      .field<TypeIdentifier>("type", offsetof(Field, type))
      .field<bool>("optional", offsetof(Field, optional));

  using Type = BindingFullTypeHelp;
  helpRecord<Type>(registry, "BindingFullTypeHelp", "Describes a struct or enum type.")
      .field<std::string>("name", offsetof(Type, name))
      .field<std::string>("nameSpace", offsetof(Type, nameSpace))
      .field<std::uint32_t>("size", offsetof(Type, size))
      .field<std::string>("description", offsetof(Type, description))
      .field<std::vector<std::string>>("tags", offsetof(Type, tags))
      .field<std::vector<Field>>("fields", offsetof(Type, fields))
      .field<std::vector<EnumValueHelp>>("values", offsetof(Type, values));

  using Event = BindingFullEventHelp;
  helpRecord<Event>(registry, "BindingFullEventHelp", "Describes an event.")
      .field<std::string>("name", offsetof(Event, name))
      .field<std::string>("nameSpace", offsetof(Event, nameSpace))
      .field<TypeIdentifier>("type", offsetof(Event, type))
      .field<std::string>("description", offsetof(Event, description))
      .field<std::vector<std::string>>("tags", offsetof(Event, tags));

  using Api = BindingFullApiHelp;
  helpRecord<Api>(registry, "BindingFullApiHelp", "Describes the exposed native API.")
      .field<std::vector<Function>>("functions", offsetof(Api, functions))
      .field<std::vector<Type>>("types", offsetof(Api, types))
      .field<std::vector<Event>>("events", offsetof(Api, events));
}

const char asyncTokenText[] = "Asynchronous operation token";
const char eventDataText[] = "Event data";

void registerAsyncAndEventTypes(TypeRegistry& registry) {
  registry.registerEnum<BindingAsyncState>("BindingAsyncState")
      .addEnumValue("None", 0, "Invalid state")
      .addEnumValue("Running", 1, "The operation is in flight")
      .addEnumValue("Cancelling", 2, "A request to cancel the operation has been made")
      .addEnumValue("Cancelled", 3, "The operation was cancelled")
      .addEnumValue("Succeeded", 4, "The operation completed successfully")
      .addEnumValue("Failed", 5, "The operation encountered an error")
      .setDescription("Possible states of an asynchronous operation.")
      .addTag(builtinTag)
      .addTag(asyncTag);

  registry.registerStruct<BindingGenericEvent>("BindingGenericEvent")
      .field<Value>("data", offsetof(BindingGenericEvent, data), eventDataText)
      .setDescription("Represents generic data for an event.")
      .addTag(builtinTag);

  registry.registerStruct<BindingCallbackEvent>("BindingCallbackEvent")
      .field<std::uint32_t>("id", offsetof(BindingCallbackEvent, id), "ID of the callback being invoked")
      .field<std::vector<Value>>("parameters", offsetof(BindingCallbackEvent, parameters), "Callback parameters")
      .setDescription("Represents the parameters of a call to a provided callback.")
      .addTag(builtinTag);

  registry.registerStruct<BindingGenericAsyncEvent>("BindingGenericAsyncEvent")
      .field<std::uint32_t>("asyncToken", offsetof(BindingGenericAsyncEvent, asyncToken), asyncTokenText)
      .field<Value>("data", offsetof(BindingGenericAsyncEvent, data), eventDataText)
      .setDescription("Represents generic data for an asynchronous event.")
      .addTag(builtinTag)
      .addTag(asyncTag);

  registry.registerStruct<BindingAsyncFailureEvent>("BindingAsyncFailureEvent")
      .field<std::uint32_t>("asyncToken", offsetof(BindingAsyncFailureEvent, asyncToken), asyncTokenText)
      .field<std::string>("error", offsetof(BindingAsyncFailureEvent, error), "Error message")
      .setDescription("Represents a failed asynchronous operation.")
      .addTag(builtinTag)
      .addTag(asyncTag);

  registry.registerStruct<BindingAsyncCancelEvent>("BindingAsyncCancelEvent")
      .field<std::uint32_t>("asyncToken", offsetof(BindingAsyncCancelEvent, asyncToken), asyncTokenText)
      .setDescription("Represents a cancelled asynchronous operation.")
      .addTag(builtinTag)
      .addTag(asyncTag);
}

void registerCallbackEvent(TypeRegistry& registry) {
  if (registry.findEvent(onCallbackEventName) != nullptr) return;
  auto event = std::make_shared<EventDescription>();
  event->name = onCallbackEventName;
  event->description = "Fired when a callback is invoked.";
  event->payload = registry.findByName("BindingCallbackEvent");
  event->tags = {builtinTag};
  registry.addEvent(std::move(event));
}

}  // namespace

void registerBuiltins(TypeRegistry& registry) {
  registerHelpTypes(registry);
  registerAsyncAndEventTypes(registry);
  registerCallbackEvent(registry);
  registry.markInitialised();
}

}  // namespace Quor
