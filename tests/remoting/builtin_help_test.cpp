#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "binding/host_api_description.h"
#include "binding/type_registry.h"
#include "remoting/api_help.h"
#include "remoting/builtin_functions.h"
#include "remoting/builtin_types.h"
#include "remoting/dispatcher.h"
#include "remoting/epytext_help.h"
#include "remoting/transport.h"
#include "tests/remoting/dispatch_test_support.h"

namespace Quor {
namespace {

using RemotingTest::Answer;
using RemotingTest::copyOf;
using RemotingTest::readAndRelease;
using RemotingTest::TestRequest;

std::vector<std::string> namesOf(const Value& items) {
  std::vector<std::string> names;
  for (const Value& item : items.elements()) names.emplace_back(item.member("name").getString());
  return names;
}

const Value* findNamed(const Value& items, std::string_view name) {
  for (const Value& item : items.elements()) {
    if (item.member("name").getString() == name) return &item;
  }
  return nullptr;
}

// A transport with no function of its own but the builtins named by the
// test, each tagged "$builtin" and reached at its name.
class BuiltinFunctions : public ::testing::Test {
 protected:
  void addBuiltin(const std::string& name) {
    TypedBinding binding = makeTypedBinding(name, transport_.registry(), [] { return std::string("invoked"); });
    transport_.registerFunction(std::move(binding.function), std::move(binding.invoker)).tag("$builtin");
  }

  Answer call(const std::string& name, const TypeRegistry& registry) {
    const std::vector<const Route*> routes = transport_.routes();
    const BuiltinPath builtins{&registry, &runBuiltin};
    TestRequest request(RequestMethod::Get, name);
    HostResponse response;
    std::memset(static_cast<void*>(&response), 0xCD, sizeof response);
    dispatch(&builtins, response, request.record(), RouteTable(routes.data(), routes.size()));
    return readAndRelease(response);
  }

  Transport transport_;
};

TEST_F(BuiltinFunctions, HelpOfATransportWithoutFunctionsListsTheBuiltinTypesAndOnCallback) {
  addBuiltin("Help");
  const Answer answer = call("Help", transport_.registry());
  ASSERT_FALSE(answer.failed) << answer.error;
  EXPECT_EQ(answer.status, 0);

  EXPECT_EQ(namesOf(answer.body.member("functions")), std::vector<std::string>{"Help"});
  EXPECT_EQ(namesOf(answer.body.member("types")),
            (std::vector<std::string>{"BindingAsyncCancelEvent", "BindingAsyncFailureEvent", "BindingAsyncState",
                                      "BindingCallbackEvent", "BindingFullApiHelp", "BindingFullArgumentHelp",
                                      "BindingFullEnumValueHelp", "BindingFullEventHelp", "BindingFullFieldHelp",
                                      "BindingFullFunctionHelp", "BindingFullTypeHelp", "BindingFullTypeIdentifier",
                                      "BindingGenericAsyncEvent", "BindingGenericEvent", "BindingHelpFormat"}));
  const Value& onCallback = answer.body.member("events").element(0);
  EXPECT_EQ(answer.body.member("events").size(), 1u);
  EXPECT_EQ(onCallback.member("name").getString(), "OnCallback");
  EXPECT_EQ(onCallback.member("type").member("type").getString(), "BindingCallbackEvent");
  EXPECT_EQ(onCallback.member("description").getString(), "Fired when a callback is invoked.");
  EXPECT_EQ(onCallback.member("tags").element(0).getString(), "$builtin");

  const Value* state = findNamed(answer.body.member("types"), "BindingAsyncState");
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(state->member("size").getUnsigned(), 4u);
  EXPECT_EQ(state->member("tags").size(), 2u);
  EXPECT_EQ(state->member("fields").size(), 0u);
  EXPECT_EQ(namesOf(state->member("values")),
            (std::vector<std::string>{"Cancelled", "Cancelling", "Failed", "None", "Running", "Succeeded"}));
  EXPECT_EQ(state->member("values").element(0).member("value").getSigned(), 3);

  const Value* function = findNamed(answer.body.member("types"), "BindingFullFunctionHelp");
  ASSERT_NE(function, nullptr);
  EXPECT_EQ(function->member("size").getUnsigned(), 196u);
  EXPECT_EQ(namesOf(function->member("fields")),
            (std::vector<std::string>{"name", "nameSpace", "arguments", "returns", "description", "help",
                                      "threadSafe", "async", "tags"}));
  const Value& arguments = function->member("fields").element(2);
  EXPECT_EQ(arguments.member("offset").getUnsigned(), 48u);
  EXPECT_EQ(arguments.member("type").member("type").getString(), "vector");
  EXPECT_EQ(arguments.member("type").member("elementType").getString(), "BindingFullArgumentHelp");
}

TEST_F(BuiltinFunctions, OtherBuiltinsAndFailuresAnswer400) {
  addBuiltin("Help");
  addBuiltin("Version");
  const Answer other = call("Version", transport_.registry());
  EXPECT_EQ(other.error, "Unsupported builtin function");
  EXPECT_EQ(other.status, 400);

  // A registry without the help records cannot convert them.
  TypeRegistry bare;
  const Answer failed = call("Help", bare);
  EXPECT_EQ(failed.error, "Couldn't convert native value because it's an unregistered structure.");
  EXPECT_EQ(failed.status, 400);
  EXPECT_TRUE(failed.body.isEmpty());
}

TEST(BuiltinRegistrations, TheCoreSeesTheBuiltinTypesAndOnCallbackOnce) {
  TypeRegistry registry;
  auto own = std::make_shared<EventDescription>();
  own->name = "OnCallback";
  own->description = "the plugin's own";
  registry.addEvent(own);
  registerBuiltins(registry);
  registerBuiltins(registry);
  EXPECT_TRUE(registry.initialised());
  EXPECT_EQ(registry.findEvent("OnCallback")->description, "the plugin's own");
  EXPECT_EQ(registry.typesSnapshot().size(), 15u);

  Transport transport;
  const HostRegistrationAnswer& answer = transport.answerRegistration();
  ASSERT_EQ(copyOf(answer.eventCount), 1u);
  EXPECT_STREQ(answer.events[0].name, "OnCallback");
  EXPECT_STREQ(answer.events[0].payloadTypeName, "BindingCallbackEvent");
  const HostTypeDescription* failure = nullptr;
  for (std::uint32_t index = 0; index < copyOf(answer.typeCount); ++index) {
    if (std::string_view(answer.types[index].name) == "BindingAsyncFailureEvent") failure = &answer.types[index];
  }
  ASSERT_NE(failure, nullptr);
  EXPECT_EQ(std::uint32_t{failure->size}, 28u);
  ASSERT_EQ(std::uint32_t{failure->count}, 2u);
  EXPECT_STREQ(failure->fields[1].name, "error");
  EXPECT_STREQ(failure->fields[1].description, "Error message");
  EXPECT_EQ(std::uint32_t{failure->fields[1].offset}, 4u);
  EXPECT_EQ(std::uint32_t{failure->fields[1].kind}, 12u);
  EXPECT_EQ(std::uint8_t{failure->fields[1].custom}, 0);
  ASSERT_EQ(std::uint32_t{failure->tagCount}, 2u);
  EXPECT_STREQ(failure->tags[1], "async");
}

TEST(EpytextHelp, AFunctionWithEveryKindOfLine) {
  TypeRegistry registry;
  registerBuiltins(registry);
  FunctionDescription function;
  function.name = "GetState";
  function.description = "-x {y}";
  function.help = std::string("Call it once.\0ignored", 21);
  ParameterDescription described{"filter", "Which {states}", true, TypeRef{NativeKind::String}, TypeRef{}};
  ParameterDescription bare{"limits", "", false, vectorOf(mapOf(TypeRef{NativeKind::String})), TypeRef{}};
  function.parameters = {described, bare};
  function.returns = TypeRef{NativeKind::Enum, NativeKind::None, nullptr,
                             &StaticType::HashRecord<BindingAsyncState>()};
  function.tags = {"Plugins", "qel"};
  function.threadSafe = true;
  function.async = true;
  EXPECT_EQ(epytextFunctionText(function, &registry),
            "E{-}x E{lb}yE{rb}\r\n\r\n"
            "Call it once.\r\n\r\n"
            "@param filter: (optional) Which E{lb}statesE{rb}\r\n"
            "@type filter: string\r\n"
            "@type limits: list[dict[string]]\r\n"
            "@rtype: L{BindingAsyncState}\r\n"
            "@tags: Plugins,qel\r\n"
            "@threadsafe: true\r\n"
            "@async: L{BindingAsyncState}\r\n");
  EXPECT_EQ(functionHelp(function, &registry).async, "BindingAsyncState");
}

TEST(EpytextHelp, TypesAndEventsThroughBuildHelp) {
  Transport transport;
  const TypeRegistry& registry = transport.registry();
  ValueResult help;
  buildHelp(help, registry, registry.functionsSnapshot(), registry.typesSnapshot(), registry.eventsSnapshot(),
            BindingHelpFormat::Epytext);
  ASSERT_TRUE(help.ok()) << help.error();
  const Value& types = help.value().member("types");
  EXPECT_EQ(types.member("BindingHelpFormat").getString(),
            "Help format for binding functions and types.\r\n\r\n"
            "@cvar Epytext: (2) Python epytext format\r\n"
            "@cvar Full: (1) Native help format\r\n"
            "@tags: $builtin,help\r\n"
            "@size: 4\r\n");
  EXPECT_EQ(types.member("BindingCallbackEvent").getString(),
            "Represents the parameters of a call to a provided callback.\r\n\r\n"
            "@ivar id: ID of the callback being invoked\r\n"
            "@type id: uint32\r\n"
            "@ivar parameters: Callback parameters\r\n"
            "@type parameters: list[object]\r\n"
            "@tags: $builtin\r\n");
  EXPECT_EQ(help.value().member("events").member("OnCallback").getString(),
            "Fired when a callback is invoked.\r\n\r\n@tags: $builtin\r\n");
  EXPECT_EQ(help.value().member("functions").size(), 0u);

  ValueResult unknown;
  buildHelp(unknown, registry, {}, {}, {}, static_cast<BindingHelpFormat>(3));
  EXPECT_FALSE(unknown.ok());
}

}  // namespace
}  // namespace Quor
