#pragma once
// The types every transport's registry holds from the start: the records of
// the full help format, the asynchronous-operation state, the generic,
// callback and asynchronous event records, and the "OnCallback" event.

#include <cstdint>
#include <string>
#include <vector>

#include "binding/static_type.h"
#include "binding/value.h"

namespace Quor {

class TypeRegistry;

enum class BindingHelpFormat : std::int32_t { Full = 1, Epytext = 2 };

enum class BindingAsyncState : std::int32_t { None = 0, Running, Cancelling, Cancelled, Succeeded, Failed };

struct BindingFullTypeIdentifier {
  std::string type;
  std::string elementType;
};

struct BindingFullArgumentHelp {
  std::string name;
  std::string description;
  BindingFullTypeIdentifier type;
  bool optional = false;
};

struct BindingFullFunctionHelp {
  std::string name;
  std::string nameSpace;
  std::vector<BindingFullArgumentHelp> arguments;
  BindingFullTypeIdentifier returns;
  std::string description;
  std::string help;
  bool threadSafe = false;
  std::string async;
  std::vector<std::string> tags;
};

struct BindingFullEnumValueHelp {
  std::string name;
  std::string description;
  std::int32_t value = 0;
};

struct BindingFullFieldHelp {
  std::string name;
  std::string description;
  std::uint32_t offset = 0;
  BindingFullTypeIdentifier type;
  bool optional = false;
};

struct BindingFullTypeHelp {
  std::string name;
  std::string nameSpace;
  std::uint32_t size = 0;
  std::string description;
  std::vector<std::string> tags;
  std::vector<BindingFullFieldHelp> fields;
  std::vector<BindingFullEnumValueHelp> values;
};

struct BindingFullEventHelp {
  std::string name;
  std::string nameSpace;
  BindingFullTypeIdentifier type;
  std::string description;
  std::vector<std::string> tags;
};

struct BindingFullApiHelp {
  std::vector<BindingFullFunctionHelp> functions;
  std::vector<BindingFullTypeHelp> types;
  std::vector<BindingFullEventHelp> events;
};

struct BindingGenericEvent {
  Value data;
};

struct BindingCallbackEvent {
  std::uint32_t id = 0;
  std::vector<Value> parameters;
};

struct BindingGenericAsyncEvent {
  std::uint32_t asyncToken = 0;
  Value data;
};

struct BindingAsyncFailureEvent {
  std::uint32_t asyncToken = 0;
  std::string error;
};

struct BindingAsyncCancelEvent {
  std::uint32_t asyncToken = 0;
};

// The core reads the sizes from the registrations.
static_assert(sizeof(BindingHelpFormat) == 4);
static_assert(sizeof(BindingAsyncState) == 4);
static_assert(sizeof(BindingFullTypeIdentifier) == 48);
static_assert(sizeof(BindingFullArgumentHelp) == 100);
static_assert(sizeof(BindingFullFunctionHelp) == 196);
static_assert(sizeof(BindingFullEnumValueHelp) == 52);
static_assert(sizeof(BindingFullFieldHelp) == 104);
static_assert(sizeof(BindingFullTypeHelp) == 112);
static_assert(sizeof(BindingFullEventHelp) == 132);
static_assert(sizeof(BindingFullApiHelp) == 36);
static_assert(sizeof(BindingGenericEvent) == 16);
static_assert(sizeof(BindingCallbackEvent) == 16);
static_assert(sizeof(BindingGenericAsyncEvent) == 24);
static_assert(sizeof(BindingAsyncFailureEvent) == 28);
static_assert(sizeof(BindingAsyncCancelEvent) == 4);

// The event the core fires when a callback handed out by the plugin is
// called.
inline constexpr char onCallbackEventName[] = "OnCallback";

// Registers the help types, the state enumeration and the event records, then
// "OnCallback" unless an event of that name exists, and marks the registry
// initialised. Registering again changes nothing.
void registerBuiltins(TypeRegistry& registry);

}  // namespace Quor

QUOR_STATIC_TYPE(Quor::BindingHelpFormat, "enum Quor::BindingHelpFormat");
QUOR_STATIC_TYPE(Quor::BindingAsyncState, "enum Quor::BindingAsyncState");
QUOR_STATIC_TYPE(Quor::BindingFullTypeIdentifier, "struct Quor::BindingFullTypeIdentifier");
QUOR_STATIC_TYPE(Quor::BindingFullArgumentHelp, "struct Quor::BindingFullArgumentHelp");
QUOR_STATIC_TYPE(Quor::BindingFullFunctionHelp, "struct Quor::BindingFullFunctionHelp");
QUOR_STATIC_TYPE(Quor::BindingFullEnumValueHelp, "struct Quor::BindingFullEnumValueHelp");
QUOR_STATIC_TYPE(Quor::BindingFullFieldHelp, "struct Quor::BindingFullFieldHelp");
QUOR_STATIC_TYPE(Quor::BindingFullTypeHelp, "struct Quor::BindingFullTypeHelp");
QUOR_STATIC_TYPE(Quor::BindingFullEventHelp, "struct Quor::BindingFullEventHelp");
QUOR_STATIC_TYPE(Quor::BindingFullApiHelp, "struct Quor::BindingFullApiHelp");
QUOR_STATIC_TYPE(Quor::BindingGenericEvent, "struct Quor::BindingGenericEvent");
QUOR_STATIC_TYPE(Quor::BindingCallbackEvent, "struct Quor::BindingCallbackEvent");
QUOR_STATIC_TYPE(Quor::BindingGenericAsyncEvent, "struct Quor::BindingGenericAsyncEvent");
QUOR_STATIC_TYPE(Quor::BindingAsyncFailureEvent, "struct Quor::BindingAsyncFailureEvent");
QUOR_STATIC_TYPE(Quor::BindingAsyncCancelEvent, "struct Quor::BindingAsyncCancelEvent");
