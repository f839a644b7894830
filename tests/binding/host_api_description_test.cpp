#include "binding/host_api_description.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "binding/library_allocator.h"
#include "tests/binding/binding_test_types.h"

namespace Quor {
namespace {

struct AsyncStateHolder {
  std::int32_t state;
};

enum class AsyncState : std::int32_t { None, Running, Cancelling, Cancelled, Succeeded, Failed };

}  // namespace
}  // namespace Quor

QUOR_STATIC_TYPE(Quor::AsyncState, "enum Quor::AsyncState");

namespace Quor {
namespace {

// Packed fields are read by value: a reference to them may be misaligned.
template <class T>
T copyOf(T value) {
  return value;
}

// Walks an array as a list through its next pointers.
template <class Record>
std::size_t listLength(const Record* first) {
  std::size_t length = 0;
  for (const Record* record = first; record != nullptr; record = record->next) ++length;
  return length;
}

template <class Record>
const Record* findNamed(const Record* first, std::uint32_t count, std::string_view name) {
  for (std::uint32_t index = 0; index < count; ++index) {
    if (first[index].name == name) return &first[index];
  }
  return nullptr;
}

class HostApiDescriptionBuild : public ::testing::Test {
 protected:
  HostApiDescriptionBuild() {
    BindingTest::registerPluginTypes(registry_);
    BindingTest::registerTestTypes(registry_);
    registry_.registerEnum<AsyncState>("BindingAsyncState")
        .addEnumValue("None", 0, "Invalid state")
        .addEnumValue("Running", 1, "The operation is in flight")
        .addEnumValue("Cancelling", 2, "A request to cancel the operation has been made")
        .addEnumValue("Cancelled", 3, "The operation was cancelled")
        .addEnumValue("Succeeded", 4, "The operation completed successfully")
        .addEnumValue("Failed", 5, "The operation encountered an error")
        .setDescription("Possible states of an asynchronous operation.")
        .addTag("$builtin")
        .addTag("async");
    registry_.registerType(0, "Bare", &StaticType::HashRecord<void>(), false).setDescription("Nothing inside");

    auto function = std::make_shared<FunctionDescription>();
    function->name = "PutQelBetaOptInV1MigrationError";
    function->nameSpace = "qel";
    function->description = "Stores the error";
    function->help = "More help";
    function->threadSafe = true;
    function->async = true;
    function->returns = {NativeKind::Enum, NativeKind::None, registry_.findByName("BindingAsyncState")};
    function->tags = {"Plugins", "Plugin qel-beta-opt-in"};
    ParameterDescription error;
    error.name = "error";
    error.description = "The error text";
    error.type = {NativeKind::Object, NativeKind::None, nullptr};
    error.declaredType = {NativeKind::String, NativeKind::None, nullptr};
    ParameterDescription events;
    events.name = "events";
    events.optional = true;
    events.type = {NativeKind::Vector, NativeKind::Struct, registry_.findByName("PluginResourceEvent")};
    function->parameters = {error, events};
    registry_.addFunction(function);
    auto plain = std::make_shared<FunctionDescription>();
    plain->name = "Help";
    registry_.addFunction(plain);

    auto event = std::make_shared<EventDescription>();
    event->name = "OnJsonApiEvent";
    event->description = "Fired when a resource is changed.";
    event->payload = registry_.findByName("PluginResourceEvent");
    event->tags = {"qclient"};
    registry_.addEvent(event);
  }

  TypeRegistry registry_;
};

TEST_F(HostApiDescriptionBuild, CountsAndChainsEveryArray) {
  HostApiExport exported;
  const HostApiDescription& description = exported.build(registry_);
  EXPECT_EQ(copyOf(description.functionCount), 2u);
  EXPECT_EQ(copyOf(description.typeCount), registry_.typesSnapshot().size());
  EXPECT_EQ(copyOf(description.eventCount), 1u);
  EXPECT_EQ(listLength(copyOf(description.functions)), copyOf(description.functionCount));
  EXPECT_EQ(listLength(copyOf(description.types)), copyOf(description.typeCount));
  EXPECT_EQ(listLength(copyOf(description.events)), copyOf(description.eventCount));
  EXPECT_EQ(copyOf(description.functions[description.functionCount - 1].next), nullptr);
  EXPECT_EQ(copyOf(description.types[description.typeCount - 1].next), nullptr);
  EXPECT_EQ(copyOf(description.events[0].next), nullptr);
  EXPECT_EQ(&exported.description(), &description);
}

TEST_F(HostApiDescriptionBuild, FunctionRecords) {
  HostApiExport exported;
  const HostApiDescription& description = exported.build(registry_);
  const HostFunctionDescription* function =
      findNamed(description.functions, description.functionCount, "PutQelBetaOptInV1MigrationError");
  ASSERT_NE(function, nullptr);
  EXPECT_EQ(std::uint32_t{function->reserved}, 0u);
  EXPECT_EQ(copyOf(static_cast<void*>(function->context)), nullptr);
  EXPECT_STREQ(function->nameSpace, "qel");
  EXPECT_STREQ(function->description, "Stores the error");
  EXPECT_STREQ(function->help, "More help");
  EXPECT_EQ(std::uint8_t{function->threadSafe}, 1);
  EXPECT_EQ(std::uint32_t{function->returnKind}, 16u);
  EXPECT_STREQ(function->returnTypeName, "BindingAsyncState");
  EXPECT_STREQ(function->asyncTypeName, "BindingAsyncState");
  ASSERT_EQ(std::uint32_t{function->tagCount}, 2u);
  EXPECT_STREQ(function->tags[0], "Plugins");
  EXPECT_STREQ(function->tags[1], "Plugin qel-beta-opt-in");

  ASSERT_EQ(std::uint32_t{function->argumentCount}, 2u);
  const HostArgumentDescription* error = function->arguments;
  EXPECT_STREQ(error->name, "error");
  EXPECT_STREQ(error->description, "The error text");
  EXPECT_EQ(std::uint32_t{error->kind}, 12u);  // the declared type replaces the object
  EXPECT_STREQ(error->typeName, "");
  EXPECT_EQ(std::uint8_t{error->optional}, 0);
  const HostArgumentDescription* events = copyOf(error->next);
  ASSERT_EQ(events, &function->arguments[1]);
  EXPECT_EQ(std::uint32_t{events->kind}, 15u);
  EXPECT_EQ(std::uint32_t{events->elementKind}, 17u);
  EXPECT_STREQ(events->typeName, "PluginResourceEvent");
  EXPECT_EQ(std::uint8_t{events->optional}, 1);
  EXPECT_EQ(copyOf(events->next), nullptr);

  const HostFunctionDescription* help = findNamed(description.functions, description.functionCount, "Help");
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(copyOf(help->arguments), nullptr);
  EXPECT_EQ(std::uint32_t{help->argumentCount}, 0u);
  EXPECT_EQ(std::uint32_t{help->returnKind}, 0u);
  EXPECT_STREQ(help->returnTypeName, "");
  EXPECT_STREQ(help->asyncTypeName, "");
  EXPECT_EQ(copyOf(help->tags), nullptr);
}

TEST_F(HostApiDescriptionBuild, StructRecordsDescribeTheirFields) {
  HostApiExport exported;
  const HostApiDescription& description = exported.build(registry_);
  const HostTypeDescription* event = findNamed(description.types, description.typeCount, "PluginResourceEvent");
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(std::uint32_t{event->size}, 48u);
  ASSERT_EQ(std::uint32_t{event->count}, 3u);
  EXPECT_EQ(copyOf(event->enumValues), nullptr);
  ASSERT_EQ(std::uint32_t{event->tagCount}, 1u);
  EXPECT_STREQ(event->tags[0], "qclient");
  const HostFieldDescription* eventType = &event->fields[1];
  EXPECT_STREQ(eventType->name, "eventType");
  EXPECT_EQ(std::uint32_t{eventType->offset}, 24u);
  EXPECT_EQ(std::uint32_t{eventType->kind}, 16u);
  EXPECT_STREQ(eventType->typeName, "PluginResourceEventType");
  EXPECT_EQ(copyOf(event->fields[0].next), &event->fields[1]);
  EXPECT_EQ(copyOf(event->fields[2].next), nullptr);
  EXPECT_STREQ(event->fields[2].name, "data");
  EXPECT_EQ(std::uint32_t{event->fields[2].offset}, 32u);
  EXPECT_EQ(std::uint32_t{event->fields[2].kind}, 13u);
  EXPECT_STREQ(event->fields[0].typeName, "");

  const HostTypeDescription* node = findNamed(description.types, description.typeCount, "Node");
  ASSERT_NE(node, nullptr);
  const HostFieldDescription* children = &node->fields[1];
  EXPECT_EQ(std::uint32_t{children->kind}, 15u);
  EXPECT_EQ(std::uint32_t{children->elementKind}, 17u);
  EXPECT_STREQ(children->typeName, "Node");
  // A vector of registered records is what its kinds say: not custom.
  EXPECT_EQ(std::uint8_t{children->custom}, 0);
}

TEST_F(HostApiDescriptionBuild, EnumRecordsListValuesInNameOrder) {
  HostApiExport exported;
  const HostApiDescription& description = exported.build(registry_);
  const HostTypeDescription* state = findNamed(description.types, description.typeCount, "BindingAsyncState");
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(copyOf(state->fields), nullptr);
  ASSERT_EQ(std::uint32_t{state->count}, 6u);
  std::vector<std::string> names;
  for (const HostEnumValueDescription* value = state->enumValues; value != nullptr; value = value->next) {
    names.emplace_back(value->name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Cancelled", "Cancelling", "Failed", "None", "Running", "Succeeded"}));
  EXPECT_EQ(std::int32_t{state->enumValues[0].value}, 3);
  EXPECT_STREQ(state->enumValues[0].description, "The operation was cancelled");
  EXPECT_STREQ(state->description, "Possible states of an asynchronous operation.");
}

TEST_F(HostApiDescriptionBuild, TypesWithNeitherFieldsNorValuesHaveNoArrays) {
  HostApiExport exported;
  const HostApiDescription& description = exported.build(registry_);
  const HostTypeDescription* bare = findNamed(description.types, description.typeCount, "Bare");
  ASSERT_NE(bare, nullptr);
  EXPECT_EQ(std::uint32_t{bare->count}, 0u);
  EXPECT_EQ(copyOf(bare->fields), nullptr);
  EXPECT_EQ(copyOf(bare->enumValues), nullptr);
  EXPECT_EQ(copyOf(bare->tags), nullptr);
  EXPECT_STREQ(bare->nameSpace, "");
}

TEST_F(HostApiDescriptionBuild, EventRecords) {
  HostApiExport exported;
  const HostApiDescription& description = exported.build(registry_);
  const HostEventDescription& event = description.events[0];
  EXPECT_STREQ(event.name, "OnJsonApiEvent");
  EXPECT_STREQ(event.payloadTypeName, "PluginResourceEvent");
  EXPECT_STREQ(event.description, "Fired when a resource is changed.");
  ASSERT_EQ(std::uint32_t{event.tagCount}, 1u);
  EXPECT_STREQ(event.tags[0], "qclient");
}

TEST_F(HostApiDescriptionBuild, TextsStayValidAfterTheEventIsRemoved) {
  HostApiExport exported;
  const HostApiDescription& description = exported.build(registry_);
  registry_.removeEvent("OnJsonApiEvent");
  EXPECT_STREQ(description.events[0].description, "Fired when a resource is changed.");
}

TEST_F(HostApiDescriptionBuild, RecordsComeFromTheCountingAllocatorAndGoBack) {
  const std::uint64_t live = libraryLiveBytes();
  {
    HostApiExport exported;
    exported.build(registry_);
    EXPECT_GT(libraryLiveBytes(), live);
    exported.build(registry_);  // rebuilding replaces the arrays
  }
  EXPECT_EQ(libraryLiveBytes(), live);
}

TEST(HostApiDescriptionEmpty, AnEmptyRegistryGivesNullArrays) {
  TypeRegistry registry;
  HostApiExport exported;
  const HostApiDescription& description = exported.build(registry);
  EXPECT_EQ(copyOf(description.functions), nullptr);
  EXPECT_EQ(copyOf(description.functionCount), 0u);
  EXPECT_EQ(copyOf(description.types), nullptr);
  EXPECT_EQ(copyOf(description.events), nullptr);
}

}  // namespace
}  // namespace Quor
