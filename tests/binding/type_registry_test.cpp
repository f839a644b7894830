#include "binding/type_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <thread>
#include <vector>

#include "binding/host_api_description.h"
#include "binding/type_names.h"
#include "binding/typed_conversion.h"
#include "tests/binding/binding_test_types.h"

namespace Quor {
namespace {

using BindingTest::registerPluginTypes;
using BindingTest::registerTestTypes;

std::vector<std::string> enumValueNames(const TypeDescription& type) {
  std::vector<std::string> names;
  for (const auto& [name, value] : type.enumValues) names.push_back(name);
  return names;
}

TEST(TypeRegistration, FirstRegistrationOfANameWins) {
  TypeRegistry registry;
  registry.registerEnum<Client::PluginManagerState>("PluginManagerState")
      .addEnumValue("NotReady", 0)
      .addEnumValue("PluginsInitialized", 1);
  TypeBuilder second = registry.registerEnum<Client::PluginManagerState>("PluginManagerState");
  EXPECT_TRUE(second.alreadyRegistered());
  second.addEnumValue("Other", 7).addEnumValue("NotReady", 9).setDescription("changed").addTag("x");

  const TypeDescription* type = registry.findByName("PluginManagerState");
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(&second.description(), type);
  EXPECT_EQ(enumValueNames(*type), (std::vector<std::string>{"NotReady", "PluginsInitialized"}));
  EXPECT_EQ(type->findEnumName("NotReady")->value, 0);
  EXPECT_TRUE(type->description.empty());
  EXPECT_TRUE(type->tags.empty());
}

TEST(TypeRegistration, DescriptionRecordsSizeNameCodeAndOwner) {
  TypeRegistry registry;
  registerPluginTypes(registry);
  const TypeDescription* event = registry.findByName("PluginResourceEvent");
  ASSERT_NE(event, nullptr);
  EXPECT_FALSE(event->isEnum);
  EXPECT_EQ(event->hashCode, StaticType::HashCode<Client::PluginResourceEvent>());
  EXPECT_EQ(event->hashRecord, &StaticType::HashRecord<Client::PluginResourceEvent>());
  EXPECT_EQ(event->registry, &registry);
  EXPECT_EQ(event->tags, std::vector<std::string>{"qclient"});
  EXPECT_EQ(registry.findByHash(StaticType::HashCode<Client::PluginResourceEvent>()), event);
  EXPECT_EQ(registry.find<Client::PluginResourceEvent>(), event);
}

TEST(TypeRegistration, NativeSizesAndOffsetsComeFromTheRecords) {
  TypeRegistry registry;
  registerPluginTypes(registry);
  const TypeDescription* event = registry.findByName("PluginResourceEvent");
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(event->size, 48u);
  ASSERT_EQ(event->fields.size(), 3u);
  EXPECT_EQ(event->fields[0].name, "uri");
  EXPECT_EQ(event->fields[0].offset, 0u);
  EXPECT_EQ(event->fields[0].type.kind, NativeKind::String);
  EXPECT_EQ(event->fields[1].name, "eventType");
  EXPECT_EQ(event->fields[1].offset, 24u);
  EXPECT_EQ(event->fields[1].type.kind, NativeKind::Enum);
  EXPECT_EQ(event->fields[1].type.description, registry.findByName("PluginResourceEventType"));
  EXPECT_EQ(event->fields[2].name, "data");
  EXPECT_EQ(event->fields[2].offset, 32u);
  EXPECT_EQ(event->fields[2].type.kind, NativeKind::Object);

  const TypeDescription* lcds = registry.findByName("PluginLcdsEvent");
  ASSERT_NE(lcds, nullptr);
  EXPECT_EQ(lcds->size, 88u);
  ASSERT_EQ(lcds->fields.size(), 4u);
  EXPECT_EQ(lcds->fields[3].name, "body");
  EXPECT_EQ(lcds->fields[3].offset, 72u);
  EXPECT_EQ(registry.findByName("PluginManagerState")->size, 4u);
  EXPECT_EQ(registry.findByName("PluginManagerResource")->size, 4u);
}

TEST(TypeRegistration, FieldsKeepRegistrationOrderAndHashTheirNames) {
  TypeRegistry registry;
  registry.registerStruct<BindingTest::Pair>("Pair")
      .field<std::int32_t>("second", offsetof(BindingTest::Pair, second))
      .field<std::int32_t>("first", offsetof(BindingTest::Pair, first));
  const TypeDescription* pair = registry.findByName("Pair");
  ASSERT_EQ(pair->fields.size(), 2u);
  EXPECT_EQ(pair->fields[0].name, "second");
  EXPECT_EQ(pair->fields[1].name, "first");
  EXPECT_EQ(pair->fields[0].nameHash, fnv1a("second"));
  EXPECT_EQ(pair->fields[0].typeHash, &StaticType::HashRecord<std::int32_t>());
}

TEST(TypeRegistration, VoidCodedTypesAreFoundByNameOnly) {
  TypeRegistry registry;
  registry.registerType(8, "Opaque", &StaticType::HashRecord<void>(), false);
  ASSERT_NE(registry.findByName("Opaque"), nullptr);
  EXPECT_EQ(registry.findByHash(voidHashCode), nullptr);
  EXPECT_EQ(registry.findByName("Missing"), nullptr);
  EXPECT_EQ(registry.findByHash(0x12345678u), nullptr);
}

TEST(TypeRegistration, AddingAnEnumValueAgainOverwritesItsNumber) {
  TypeRegistry registry;
  registry.registerEnum<Client::PluginResourceEventType>("PluginResourceEventType")
      .addEnumValue("Create", 0, "first")
      .addEnumValue("Create", 5, "second");
  const TypeDescription* type = registry.findByName("PluginResourceEventType");
  ASSERT_EQ(type->enumValues.size(), 1u);
  EXPECT_EQ(type->findEnumName("Create")->value, 5);
  EXPECT_EQ(type->findEnumName("Create")->description, "second");
  EXPECT_EQ(type->findEnumName("Create")->owner, type);
}

TEST(TypeRegistration, TypedFieldsUseTheConverterWhereKindRulesDoNotFit) {
  struct Odd {
    long wide;
    std::vector<std::uint8_t> bytes;
    std::vector<BindingTest::Pair> pairs;
    std::int32_t plain;
    std::optional<BindingTest::Pair> maybe;
  };
  TypeRegistry registry;
  registerTestTypes(registry);
  TypeBuilder builder = registry.registerType(sizeof(Odd), "Odd", &StaticType::HashRecord<void>(), false);
  builder.field<long>("wide", offsetof(Odd, wide))
      .field<std::vector<std::uint8_t>>("bytes", offsetof(Odd, bytes))
      .field<std::vector<BindingTest::Pair>>("pairs", offsetof(Odd, pairs))
      .field<std::int32_t>("plain", offsetof(Odd, plain))
      .field<std::optional<BindingTest::Pair>>("maybe", offsetof(Odd, maybe));
  const auto& fields = registry.findByName("Odd")->fields;
  EXPECT_TRUE(fields[0].custom);  // long is not the int32 the kind implies
  EXPECT_EQ(fields[0].type.kind, NativeKind::Int32);
  EXPECT_EQ(fields[1].type.kind, NativeKind::Blob);
  EXPECT_EQ(fields[2].type.kind, NativeKind::Vector);
  EXPECT_EQ(fields[2].type.elementKind, NativeKind::Struct);
  EXPECT_EQ(fields[2].type.description, registry.findByName("Pair"));
  EXPECT_FALSE(fields[2].custom);  // read through the typed converter, as its kinds say
  EXPECT_FALSE(fields[3].custom);
  EXPECT_TRUE(fields[4].custom);  // the struct rule would fill an optional without engaging it
  for (const FieldDescription& field : fields) EXPECT_NE(field.converter, nullptr);
}

TEST(TypeRegistration, AnEnumFieldAddedBeforeItsEnumIsResolvedWhenDescribedAndConverted) {
  TypeRegistry registry;
  registry.registerStruct<Client::PluginManagerResource>("PluginManagerResource")
      .field<Client::PluginManagerState>("state", offsetof(Client::PluginManagerResource, state));
  registry.registerEnum<Client::PluginManagerState>("PluginManagerState")
      .addEnumValue("NotReady", 0)
      .addEnumValue("PluginsInitialized", 1);
  const FieldDescription& field = registry.findByName("PluginManagerResource")->fields[0];
  EXPECT_EQ(field.type.description, nullptr);  // the registered description stays as it was
  EXPECT_FALSE(field.custom);

  HostApiExport exported;
  const HostApiDescription& description = exported.build(registry);
  const HostTypeDescription* described = nullptr;
  for (std::uint32_t index = 0; index < description.typeCount; ++index) {
    if (std::string_view(description.types[index].name) == "PluginManagerResource") described = &description.types[index];
  }
  ASSERT_NE(described, nullptr);
  EXPECT_STREQ(described->fields[0].typeName, "PluginManagerState");
  EXPECT_EQ(std::uint8_t{described->fields[0].custom}, 0);

  Value source;
  source.writeMember("state").setString("PluginsInitialized");
  Client::PluginManagerResource resource;
  const ValueResult result = assignFromValue(resource, source, "resource", &registry);
  ASSERT_TRUE(result.ok()) << result.error();
  EXPECT_EQ(resource.state, Client::PluginManagerState::PluginsInitialized);
}

TEST(EnumNaming, NumbersAreNamedThroughTheRegistry) {
  TypeRegistry registry;
  registerPluginTypes(registry);
  const TypeDescription* type = registry.findByName("PluginResourceEventType");
  const EnumValue update{1, type->hashCodeAddress()};
  ASSERT_NE(registry.enumName(update), nullptr);
  EXPECT_EQ(*registry.enumName(update), "Update");
  EXPECT_EQ(registry.enumName(EnumValue{7, type->hashCodeAddress()}), nullptr);
  EXPECT_EQ(registry.enumName(EnumValue{1, nullptr}), nullptr);
  const std::uint32_t unknownCode = 0xDEADBEEF;
  EXPECT_EQ(registry.enumName(EnumValue{1, &unknownCode}), nullptr);
  EXPECT_TRUE(TypeRegistry::isDeclaredEnumValue(*type, 2));
  EXPECT_FALSE(TypeRegistry::isDeclaredEnumValue(*type, 3));
}

TEST(EnumNaming, TwoNamesForOneNumberGiveTheOneThatSortsFirst) {
  TypeRegistry registry;
  registry.registerEnum<Client::PluginManagerState>("PluginManagerState")
      .addEnumValue("Zulu", 1)
      .addEnumValue("Alpha", 1)
      .addEnumValue("Mike", 1);
  const EnumValue value{1, &StaticType::HashRecord<Client::PluginManagerState>().code};
  ASSERT_NE(registry.enumName(value), nullptr);
  EXPECT_EQ(*registry.enumName(value), "Alpha");
}

TEST(EnumNaming, ValuesProducedFromNativeEnumsFindTheirNames) {
  TypeRegistry registry;
  registerPluginTypes(registry);
  ValueResult result;
  convertToValue(result, Client::PluginResourceEventType::Delete, &registry);
  ASSERT_TRUE(result.ok());
  ASSERT_EQ(result.value().kind(), ValueKind::Enum);
  EXPECT_EQ(result.value().getEnum().number, 2);
  ASSERT_NE(registry.enumName(result.value().getEnum()), nullptr);
  EXPECT_EQ(*registry.enumName(result.value().getEnum()), "Delete");
}

TEST(RegistryFunctionsAndEvents, FirstOfANameStaysAndSnapshotsKeepWhatTheyCopied) {
  TypeRegistry registry;
  auto help = std::make_shared<FunctionDescription>();
  help->name = "Help";
  EXPECT_EQ(registry.addFunction(help), help);
  EXPECT_EQ(help->owner, &registry);
  auto other = std::make_shared<FunctionDescription>();
  other->name = "Help";
  EXPECT_EQ(registry.addFunction(other), help);
  EXPECT_EQ(registry.findFunction("Help"), help);
  EXPECT_EQ(registry.findFunction("Missing"), nullptr);

  auto event = std::make_shared<EventDescription>();
  event->name = "OnCallback";
  event->description = "first";
  EXPECT_TRUE(registry.addEvent(event));
  auto again = std::make_shared<EventDescription>();
  again->name = "OnCallback";
  EXPECT_FALSE(registry.addEvent(again));
  EXPECT_EQ(registry.findEvent("OnCallback")->description, "first");

  const auto events = registry.eventsSnapshot();
  EXPECT_TRUE(registry.removeEvent("OnCallback"));
  EXPECT_FALSE(registry.removeEvent("OnCallback"));
  EXPECT_EQ(registry.findEvent("OnCallback"), nullptr);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0]->description, "first");
  EXPECT_TRUE(registry.eventsSnapshot().empty());
  EXPECT_EQ(registry.functionsSnapshot().size(), 1u);
}

TEST(RegistryConcurrency, RegistrationsAndLookupsFromSeveralThreads) {
  TypeRegistry registry;
  std::atomic<int> found{0};
  std::vector<std::thread> threads;
  for (int thread = 0; thread < 4; ++thread) {
    threads.emplace_back([&registry, &found, thread] {
      for (int index = 0; index < 200; ++index) {
        const std::string name = "T" + std::to_string(thread) + "_" + std::to_string(index);
        registry.registerType(4, name, &StaticType::HashRecord<void>(), true).addEnumValue("A", index);
        registry.registerType(4, "Shared", &StaticType::HashRecord<void>(), false);
        if (registry.findByName(name) != nullptr) ++found;
        registry.typesSnapshot();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(found.load(), 800);
  EXPECT_EQ(registry.typesSnapshot().size(), 801u);
}

TEST(HelpTypeNames, EpytextNames) {
  TypeRegistry registry;
  registerPluginTypes(registry);
  const TypeDescription* event = registry.findByName("PluginResourceEvent");
  const TypeDescription* eventType = registry.findByName("PluginResourceEventType");
  EXPECT_EQ(epytextTypeName({NativeKind::Vector, NativeKind::Int32, nullptr}), "list[int32]");
  EXPECT_EQ(epytextTypeName({NativeKind::Map, NativeKind::String, nullptr}), "dict[string]");
  EXPECT_EQ(epytextTypeName({NativeKind::Blob, NativeKind::None, nullptr}), "bytearray");
  EXPECT_EQ(epytextTypeName({NativeKind::Struct, NativeKind::None, event}), "L{PluginResourceEvent}");
  EXPECT_EQ(epytextTypeName({NativeKind::Vector, NativeKind::Enum, eventType}), "list[L{PluginResourceEventType}]");
  EXPECT_EQ(epytextTypeName(typeRefOf<std::vector<std::unordered_map<std::string, std::string>>>(registry)),
            "list[dict[string]]");
  EXPECT_EQ(epytextTypeName(vectorOf(mapOf(vectorOf({NativeKind::Struct, NativeKind::None, event})))),
            "list[dict[list[L{PluginResourceEvent}]]]");
  EXPECT_EQ(epytextTypeName({NativeKind::Callback, NativeKind::None, nullptr}), "callback");
  EXPECT_EQ(epytextTypeName({NativeKind::None, NativeKind::None, nullptr}), "");
  EXPECT_EQ(epytextTypeName({static_cast<NativeKind>(40), NativeKind::None, nullptr}), "");
}

TEST(HelpTypeNames, IdentifierNames) {
  TypeRegistry registry;
  registerPluginTypes(registry);
  const TypeDescription* eventType = registry.findByName("PluginResourceEventType");
  const TypeIdentifierNames vectorOfEnum = typeIdentifierNames({NativeKind::Vector, NativeKind::Enum, eventType});
  EXPECT_EQ(vectorOfEnum.type, "vector");
  EXPECT_EQ(vectorOfEnum.elementType, "PluginResourceEventType");
  const TypeIdentifierNames unregistered = typeIdentifierNames({NativeKind::Struct, NativeKind::None, nullptr});
  EXPECT_EQ(unregistered.type, "struct");
  EXPECT_EQ(unregistered.elementType, "");
  EXPECT_EQ(typeIdentifierNames({NativeKind::Map, NativeKind::Double, nullptr}).elementType, "double");
  EXPECT_EQ(typeIdentifierNames({NativeKind::UInt16, NativeKind::None, nullptr}).type, "uint16");
  const TypeIdentifierNames nested = typeIdentifierNames(typeRefOf<std::vector<std::vector<std::int32_t>>>(registry));
  EXPECT_EQ(nested.type, "vector");
  EXPECT_EQ(nested.elementType, "vector");
}

}  // namespace
}  // namespace Quor
