#include "remoting/transport.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "remoting/dispatcher.h"
#include "tests/remoting/dispatch_test_support.h"

namespace Quor {
namespace {

using RemotingTest::copyOf;

class TransportRoutes : public ::testing::Test {
 protected:
  TransportRoutes() { transport_.setEndpointTags({"Plugins", "Plugin qel-beta-opt-in"}); }
  Transport transport_;
};

TEST_F(TransportRoutes, AddRouteNamesTheFunctionAndSetsItsRoute) {
  RegistrationBuilder builder =
      transport_.addRoute(RequestMethod::Get, "/qel-beta-opt-in/v1/needs-migration", [] { return true; });
  ASSERT_TRUE(builder.registered());
  ASSERT_TRUE(builder.isOpen());
  const FunctionRegistration* registration = builder.registration();
  ASSERT_NE(registration, nullptr);
  EXPECT_EQ(registration->function->name, "GetQelBetaOptInV1NeedsMigration");
  EXPECT_EQ(registration->pathTemplate, "/qel-beta-opt-in/v1/needs-migration");
  EXPECT_EQ(registration->method, RequestMethod::Get);
  EXPECT_EQ(registration->customMethod, "");
  EXPECT_EQ(registration->function->tags, (std::vector<std::string>{"Plugins", "Plugin qel-beta-opt-in"}));
  EXPECT_EQ(registration->function->returns.kind, NativeKind::Bool);
  ASSERT_TRUE(registration->route.has_value());
  EXPECT_EQ(registration->route->literalPath, "/qel-beta-opt-in/v1/needs-migration");
  EXPECT_EQ(transport_.registry().findFunction("GetQelBetaOptInV1NeedsMigration"), registration->function);
  EXPECT_EQ(transport_.findRegistration("GetQelBetaOptInV1NeedsMigration"), registration);
}

TEST_F(TransportRoutes, OneTrailingSlashIsRemovedFromLongerPaths) {
  const FunctionRegistration* slash = transport_.addRoute(RequestMethod::Get, "/", [] {}).registration();
  EXPECT_EQ(slash->pathTemplate, "/");
  const FunctionRegistration* items = transport_.addRoute(RequestMethod::Post, "/items//", [] {}).registration();
  EXPECT_EQ(items->pathTemplate, "/items/");
  EXPECT_EQ(items->function->name, "PostItems");
}

TEST_F(TransportRoutes, ParametersAreDescribedFromTheHandlerAndNamedThroughTheRegistration) {
  RegistrationBuilder builder = transport_.addRoute(
      RequestMethod::Put, "/a/{id}",
      [](std::int32_t, const std::optional<std::string>&, const RemotingRequest&, std::vector<std::string>) {});
  builder.parameter(0, "id", "The item").parameter(1, "note").location(0, ArgumentLocation::Path);
  const FunctionRegistration* registration = builder.registration();
  const auto& parameters = registration->function->parameters;
  ASSERT_EQ(parameters.size(), 3u);
  EXPECT_EQ(parameters[0].name, "id");
  EXPECT_EQ(parameters[0].description, "The item");
  EXPECT_EQ(parameters[0].type.kind, NativeKind::Int32);
  EXPECT_FALSE(parameters[0].optional);
  EXPECT_EQ(parameters[1].type.kind, NativeKind::String);
  EXPECT_TRUE(parameters[1].optional);
  EXPECT_EQ(parameters[2].name, "");
  EXPECT_EQ(parameters[2].type.kind, NativeKind::Vector);
  EXPECT_EQ(parameters[2].type.elementKind, NativeKind::String);
  EXPECT_EQ(registration->parameterLocations,
            (std::vector{ArgumentLocation::Path, ArgumentLocation::Any, ArgumentLocation::Any}));
  EXPECT_EQ(registration->function->returns.kind, NativeKind::None);
  EXPECT_TRUE(takesRemotingRequest(registration->invoker->requestType()));
  // Out-of-range indexes change nothing.
  builder.parameter(7, "x").location(7, ArgumentLocation::Body);
  EXPECT_EQ(parameters.size(), 3u);
}

TEST_F(TransportRoutes, ASecondFunctionOfTheSameNameIsNotRegistered) {
  RegistrationBuilder first = transport_.addRoute(RequestMethod::Get, "/a/b", [] { return 1; });
  first.parameter(0, "unused");
  RegistrationBuilder second = transport_.addRoute(RequestMethod::Get, "/a-b", [](std::string) { return 2; });
  EXPECT_FALSE(second.registered());
  EXPECT_FALSE(second.isOpen());
  EXPECT_EQ(second.registration(), first.registration());
  // The builder of the second changes nothing of the first.
  second.pathTemplate("/elsewhere").parameter(0, "x").tag("extra").method(RequestMethod::Post);
  const FunctionRegistration* registration = first.registration();
  EXPECT_EQ(registration->pathTemplate, "/a/b");
  EXPECT_EQ(registration->method, RequestMethod::Get);
  EXPECT_TRUE(registration->function->parameters.empty());
  EXPECT_EQ(registration->function->tags.size(), 2u);
  EXPECT_EQ(transport_.registrations().size(), 1u);

  RemotingTest::TestRequest request(RequestMethod::Get, "/a/b", registration);
  const RemotingTest::Answer answer = RemotingTest::send(request);
  EXPECT_FALSE(answer.failed) << answer.error;
  EXPECT_EQ(answer.body.getSigned(), 1);
}

TEST_F(TransportRoutes, RegistrationsCloseWhenTheCoreIsAnswered) {
  RegistrationBuilder builder = transport_.addRoute(RequestMethod::Put, "/x/{id}", [](std::string) {});
  transport_.answerRegistration();
  EXPECT_FALSE(builder.isOpen());
  builder.pathTemplate("/y").method(RequestMethod::Get).parameter(0, "id").flag(3).tag("late");
  const FunctionRegistration* registration = builder.registration();
  EXPECT_EQ(registration->pathTemplate, "/x/{id}");
  EXPECT_EQ(registration->method, RequestMethod::Put);
  EXPECT_EQ(registration->function->parameters[0].name, "");
  EXPECT_EQ(registration->flag, 0);
  EXPECT_EQ(registration->function->tags.size(), 2u);
}

TEST_F(TransportRoutes, RoutesOfAllRegistrationsInOrder) {
  transport_.addRoute(RequestMethod::Get, "/b", [] {});
  transport_.addRoute(RequestMethod::Get, "/a/{id}", [](std::string) {});
  const std::vector<const Route*> routes = transport_.routes();
  ASSERT_EQ(routes.size(), 2u);
  EXPECT_EQ(routes[0]->templateText, "/b");
  EXPECT_EQ(routes[1]->templateText, "/a/{id}");
}

TEST_F(TransportRoutes, AFunctionWithoutTemplateIsReachedUnderItsName) {
  TypedBinding binding = makeTypedBinding("Help", transport_.registry(), [] { return std::string("help"); });
  RegistrationBuilder builder = transport_.registerFunction(binding.function, std::move(binding.invoker));
  ASSERT_TRUE(builder.registered());
  const FunctionRegistration* registration = builder.registration();
  EXPECT_EQ(registration->method, RequestMethod::None);
  ASSERT_TRUE(registration->route.has_value());
  EXPECT_EQ(registration->route->literalPath, "Help");

  // Method None answers every method.
  for (const RequestMethod method : {RequestMethod::Get, RequestMethod::Delete, RequestMethod::Custom}) {
    RemotingTest::TestRequest request(method, "Help", registration);
    const RemotingTest::Answer answer = RemotingTest::send(request);
    EXPECT_FALSE(answer.failed) << answer.error;
    EXPECT_EQ(answer.body.getString(), "help");
  }
}

struct Counter {
  int count = 0;
  int add(std::int32_t amount) { return count += amount; }
  int read() const { return count; }
};

TEST_F(TransportRoutes, MemberFunctionsAreCalledOnTheirObject) {
  Counter counter;
  const FunctionRegistration* add =
      transport_.addRoute(RequestMethod::Put, "/counter", &Counter::add, &counter).parameter(0, "amount").registration();
  const FunctionRegistration* read = transport_.addRoute(RequestMethod::Get, "/counter", &Counter::read,
                                                         static_cast<const Counter*>(&counter))
                                         .registration();
  RemotingTest::TestRequest put(RequestMethod::Put, "/counter", add);
  Value amount;
  amount.setSigned(std::int32_t{5});
  put.argument("amount", amount);
  EXPECT_EQ(RemotingTest::send(put).body.getSigned(), 5);
  RemotingTest::TestRequest get(RequestMethod::Get, "/counter", read);
  EXPECT_EQ(RemotingTest::send(get).body.getSigned(), 5);
  EXPECT_EQ(counter.count, 5);
}

// ---- Endpoint records -------------------------------------------------------------------

TEST_F(TransportRoutes, EndpointRecordsCarryTheDescriptionContextAndRoute) {
  RegistrationBuilder put = transport_.addRoute(RequestMethod::Put, "/qel-beta-opt-in/v1/migration-error",
                                                [](const std::string&) {});
  put.parameter(0, "errString").location(0, ArgumentLocation::Body).flag(7).textList({"a", "b"}).textList({});
  transport_.addRoute(RequestMethod::Get, "/qel-beta-opt-in/v1/needs-migration", [] { return false; });
  RegistrationBuilder custom = transport_.addRoute(RequestMethod::Get, "/custom", [](std::int32_t, bool) {});
  custom.method(RequestMethod::Custom, "PURGE").location(0, ArgumentLocation::Unread).location(
      1, static_cast<ArgumentLocation>(9));

  const HostRegistrationAnswer& answer = transport_.answerRegistration();
  ASSERT_EQ(answer.endpointCount, 3u);
  ASSERT_NE(answer.endpoints, nullptr);
  EXPECT_EQ(answer.types, transport_.registrationAnswer().types);
  EXPECT_EQ(&transport_.registrationAnswer(), &answer);

  // Registration order, chained through the first word, the last null.
  const HostEndpoint* endpoints = answer.endpoints;
  EXPECT_EQ(copyOf(endpoints[0].description.next), &endpoints[1].description);
  EXPECT_EQ(copyOf(endpoints[1].description.next), &endpoints[2].description);
  EXPECT_EQ(copyOf(endpoints[2].description.next), nullptr);

  const HostEndpoint& first = endpoints[0];
  const FunctionRegistration* registration = put.registration();
  EXPECT_STREQ(first.description.name, "PutQelBetaOptInV1MigrationError");
  EXPECT_EQ(copyOf(first.description.context), &registration->context);
  EXPECT_EQ(copyOf(first.description.argumentCount), 1u);
  ASSERT_NE(copyOf(first.description.arguments), nullptr);
  EXPECT_STREQ(first.description.arguments->name, "errString");
  EXPECT_EQ(copyOf(first.description.tagCount), 2u);
  EXPECT_EQ(copyOf(first.handler), &handleRequest);
  EXPECT_STREQ(first.pathTemplate, "/qel-beta-opt-in/v1/migration-error");
  EXPECT_EQ(copyOf(first.method), 7u);
  EXPECT_EQ(copyOf(first.flag), 7);
  EXPECT_STREQ(first.customMethod, "");
  ASSERT_NE(copyOf(first.parameterLocations), nullptr);
  EXPECT_EQ(copyOf(first.parameterLocations->location), 5u);
  EXPECT_EQ(copyOf(first.parameterLocations->next), nullptr);
  ASSERT_EQ(copyOf(first.textListCount), 2u);
  const HostTextList* lists = first.textLists;
  EXPECT_EQ(copyOf(lists[0].next), &lists[1]);
  EXPECT_EQ(copyOf(lists[1].next), nullptr);
  ASSERT_EQ(copyOf(lists[0].count), 2u);
  EXPECT_STREQ(lists[0].texts[0], "a");
  EXPECT_STREQ(lists[0].texts[1], "b");
  EXPECT_EQ(copyOf(lists[1].count), 0u);

  const HostEndpoint& second = endpoints[1];
  EXPECT_EQ(copyOf(second.parameterLocations), nullptr);
  EXPECT_EQ(copyOf(second.textLists), nullptr);
  EXPECT_EQ(copyOf(second.textListCount), 0u);
  EXPECT_EQ(copyOf(second.description.returnKind), 1u);

  const HostEndpoint& third = endpoints[2];
  EXPECT_EQ(copyOf(third.method), 8u);
  EXPECT_STREQ(third.customMethod, "PURGE");
  const HostParameterLocation* locations = third.parameterLocations;
  EXPECT_EQ(copyOf(locations[0].location), 3u);
  EXPECT_EQ(copyOf(locations[1].location), 0u);  // not a location code
  EXPECT_EQ(copyOf(locations[0].next), &locations[1]);
}

TEST(HostEndpoints, AFunctionWithoutADescriptionGetsAZeroDescription) {
  Transport transport;
  transport.addRoute(RequestMethod::Get, "/a", [] {});
  const std::vector<const FunctionRegistration*> registrations = transport.registrations();
  HostApiDescription none{};
  HostEndpointTable table = buildHostEndpoints(registrations, none);
  ASSERT_EQ(table.size(), 1u);
  const HostEndpoint& endpoint = table.data()[0];
  EXPECT_EQ(copyOf(endpoint.description.name), nullptr);
  EXPECT_EQ(copyOf(endpoint.description.argumentCount), 0u);
  EXPECT_EQ(copyOf(endpoint.description.context), &registrations[0]->context);
  EXPECT_STREQ(endpoint.pathTemplate, "/a");
  EXPECT_EQ(copyOf(endpoint.method), 2u);
}

TEST(HostEndpoints, NoRegistrationsGiveAnEmptyArray) {
  Transport transport;
  const HostRegistrationAnswer& answer = transport.answerRegistration();
  EXPECT_EQ(answer.endpoints, nullptr);
  EXPECT_EQ(answer.endpointCount, 0u);
}

}  // namespace
}  // namespace Quor
