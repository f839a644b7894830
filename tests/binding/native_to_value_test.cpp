#include "binding/native_to_value.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/typed_conversion.h"
#include "tests/binding/binding_test_types.h"

namespace Quor {
namespace {

using BindingTest::memberNames;
using BindingTest::Node;
using BindingTest::Pair;
using Client::PluginResourceEvent;
using Client::PluginResourceEventType;

class NativeToValue : public ::testing::Test {
 protected:
  NativeToValue() {
    BindingTest::registerPluginTypes(registry_);
    BindingTest::registerTestTypes(registry_);
  }

  template <class T>
  ValueResult convert(const T& source) {
    ValueResult result;
    convertToValue(result, source, &registry_);
    return result;
  }

  TypeRegistry registry_;
};

TEST_F(NativeToValue, IntegersKeepTheirSignedness) {
  const ValueResult minusOne = convert(std::int8_t{-1});
  ASSERT_EQ(minusOne.value().kind(), ValueKind::Signed);
  EXPECT_EQ(minusOne.value().getSigned(), -1);
  const ValueResult byte = convert(std::uint8_t{255});
  ASSERT_EQ(byte.value().kind(), ValueKind::Unsigned);
  EXPECT_EQ(byte.value().getUnsigned(), 255u);
  EXPECT_EQ(convert(std::int64_t{-9223372036854775807 - 1}).value().getSigned(), -9223372036854775807 - 1);
  EXPECT_EQ(convert(std::uint64_t{18446744073709551615u}).value().getUnsigned(), 18446744073709551615u);
  EXPECT_EQ(convert(true).value().kind(), ValueKind::Bool);
}

TEST_F(NativeToValue, SingleFloatsWidenExactly) {
  const ValueResult single = convert(0.1f);
  ASSERT_EQ(single.value().kind(), ValueKind::Float);
  EXPECT_EQ(single.value().getFloat(), static_cast<double>(0.1f));
  EXPECT_NE(single.value().getFloat(), 0.1);
  EXPECT_EQ(convert(0.1).value().getFloat(), 0.1);
}

TEST_F(NativeToValue, EnumsCarryTheirNumberAndTypeCode) {
  const ValueResult result = convert(PluginResourceEventType::Delete);
  ASSERT_TRUE(result.ok());
  ASSERT_EQ(result.value().kind(), ValueKind::Enum);
  EXPECT_EQ(result.value().getEnum().number, 2);
  EXPECT_EQ(result.value().getEnum().hashCode(), StaticType::HashCode<PluginResourceEventType>());
  ASSERT_NE(registry_.enumName(result.value().getEnum()), nullptr);
  EXPECT_EQ(*registry_.enumName(result.value().getEnum()), "Delete");
}

TEST_F(NativeToValue, RegisteredStructsWriteEveryFieldAlsoWhenEmpty) {
  PluginResourceEvent event;
  event.eventType = PluginResourceEventType::Update;
  const ValueResult result = convert(event);
  ASSERT_TRUE(result.ok()) << result.error();
  EXPECT_EQ(memberNames(result.value()), (std::vector<std::string>{"data", "eventType", "uri"}));
  EXPECT_EQ(result.value().member("uri").kind(), ValueKind::String);
  EXPECT_EQ(result.value().member("uri").getString(), "");
  EXPECT_EQ(result.value().member("eventType").getEnum().number, 1);
  EXPECT_TRUE(result.value().member("data").isEmpty());
}

TEST_F(NativeToValue, MapsBecomeStructuresInNameOrder) {
  const std::unordered_map<std::string, std::string> map{{"b", "2"}, {"a", "1"}};
  const ValueResult result = convert(map);
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(memberNames(result.value()), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(result.value().member("b").getString(), "2");
}

TEST_F(NativeToValue, VectorsBlobsObjectsAndOptionals) {
  const ValueResult numbers = convert(std::vector<std::uint16_t>{1, 2, 3});
  ASSERT_EQ(numbers.value().kind(), ValueKind::Collection);
  ASSERT_EQ(numbers.value().size(), 3u);
  EXPECT_EQ(numbers.value().element(2).getUnsigned(), 3u);
  EXPECT_EQ(convert(std::vector<std::int32_t>{}).value().kind(), ValueKind::Collection);
  const ValueResult flags = convert(std::vector<bool>{true, false});
  EXPECT_FALSE(flags.value().element(1).getBool());
  const ValueResult blob = convert(std::vector<std::uint8_t>{7, 8});
  ASSERT_EQ(blob.value().kind(), ValueKind::Blob);
  EXPECT_EQ(blob.value().getBlob()[1], 8);
  const Value object = BindingTest::nestedStructures(3);
  EXPECT_TRUE(BindingTest::sameTree(convert(object).value(), object));
  EXPECT_TRUE(convert(std::optional<std::string>()).value().isEmpty());
  EXPECT_EQ(convert(std::optional<std::string>("x")).value().getString(), "x");
}

TEST_F(NativeToValue, UnregisteredStructsFailWithoutAPartialTree) {
  TypeRegistry empty;
  Node node;
  node.children.resize(2);
  ValueResult result;
  convertToValue(result, node, &empty);
  EXPECT_FALSE(result.ok());
  EXPECT_EQ(result.error(), "Couldn't convert native value because it's an unregistered structure.");
  EXPECT_EQ(memberNames(result.value()), std::vector<std::string>{"error"});

  // An unregistered record deep inside a registered one fails the whole.
  struct Holder {
    std::vector<Pair> pairs;
  } holder;
  holder.pairs.resize(1);
  TypeRegistry partial;
  partial.registerType(sizeof(Holder), "Holder", &StaticType::HashRecord<void>(), false)
      .field<std::vector<Pair>>("pairs", offsetof(Holder, pairs));
  convertStructToValue(result, &holder, partial.findByName("Holder"), &partial);
  EXPECT_EQ(result.error(), "Couldn't convert native value because it's an unregistered structure.");
  EXPECT_EQ(memberNames(result.value()), std::vector<std::string>{"error"});
}

TEST_F(NativeToValue, FieldsFlaggedToOmitDefaultsAreLeftOutWhileDefault) {
  TypeRegistry registry;
  registry.registerStruct<Pair>("Pair")
      .field<std::int32_t>("first", offsetof(Pair, first), "", omitWhenDefault)
      .field<std::int32_t>("second", offsetof(Pair, second), "", omitWhenDefault);
  Pair pair;
  pair.first = 0;
  pair.second = 3;
  ValueResult result;
  convertToValue(result, pair, &registry);
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(memberNames(result.value()), std::vector<std::string>{"second"});
  EXPECT_EQ(result.value().member("second").getSigned(), 3);

  Value value;
  EXPECT_TRUE(isDefaultValue(value));
  value.setBool(false);
  EXPECT_TRUE(isDefaultValue(value));
  value.setFloat(0.0);
  EXPECT_TRUE(isDefaultValue(value));
  value.setString("");
  EXPECT_TRUE(isDefaultValue(value));
  value.setEnum(EnumValue{0, nullptr});
  EXPECT_TRUE(isDefaultValue(value));
  value.makeCollection();
  EXPECT_TRUE(isDefaultValue(value));
  value.setUnsigned(std::uint64_t{1});
  EXPECT_FALSE(isDefaultValue(value));
  value.setString(" ");
  EXPECT_FALSE(isDefaultValue(value));
}

TEST_F(NativeToValue, RoundTripThroughValueKeepsTheRecord) {
  Client::AppModule::PluginLcdsEvent event;
  event.clientId = "client";
  event.subtopic = "topic";
  event.typeName = "type";
  event.body = BindingTest::nestedStructures(4);
  const ValueResult produced = convert(event);
  ASSERT_TRUE(produced.ok()) << produced.error();
  Client::AppModule::PluginLcdsEvent back;
  const ValueResult assigned = assignFromValue(back, produced.value(), "event", &registry_);
  ASSERT_TRUE(assigned.ok()) << assigned.error();
  EXPECT_EQ(back.clientId, "client");
  EXPECT_EQ(back.subtopic, "topic");
  EXPECT_EQ(back.typeName, "type");
  EXPECT_TRUE(BindingTest::sameTree(back.body, event.body));
}

TEST_F(NativeToValue, VectorsLargerThanAValueCanHoldFailInsteadOfThrowing) {
  const std::vector<bool> flags(Value::maxReserve + 1);
  const ValueResult result = convert(flags);
  EXPECT_EQ(result.error(),
            "Couldn't convert native value because a vector has 268435456 elements, more than a value can hold.");
}

TEST_F(NativeToValue, DeepNativeTreesConvertUpToTheLimit) {
  const auto chain = [](std::size_t levels) {
    Node root;
    Node* node = &root;
    for (std::size_t index = 1; index < levels; ++index) {
      node->children.emplace_back();
      node = &node->children.back();
      node->id = static_cast<std::int32_t>(index);
    }
    return root;
  };
  const ValueResult within = convert(chain(256));
  ASSERT_TRUE(within.ok()) << within.error();
  const ValueResult beyond = convert(chain(257));
  EXPECT_EQ(beyond.error(), "Couldn't convert native value because it is nested deeper than 512 levels.");
  EXPECT_EQ(memberNames(beyond.value()), std::vector<std::string>{"error"});
}

}  // namespace
}  // namespace Quor
