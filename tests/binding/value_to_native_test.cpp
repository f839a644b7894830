#include "binding/value_to_native.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/typed_conversion.h"
#include "tests/binding/binding_test_types.h"

namespace Quor {
namespace {

using BindingTest::Node;
using BindingTest::Pair;
using Client::PluginResourceEvent;
using Client::PluginResourceEventType;

class ValueToNative : public ::testing::Test {
 protected:
  ValueToNative() {
    BindingTest::registerPluginTypes(registry_);
    BindingTest::registerTestTypes(registry_);
  }

  // Assigns source to a T named name; the answer is the error text, empty on
  // success.
  template <class T>
  std::string assign(T& target, const Value& source, std::string_view name = "x") {
    const ValueResult result = assignFromValue(target, source, name, &registry_);
    return result.ok() ? std::string() : std::string(result.error());
  }

  static Value text(std::string_view content) {
    Value value;
    value.setString(content);
    return value;
  }
  static Value signedNumber(std::int64_t number) {
    Value value;
    value.setSigned(number);
    return value;
  }
  static Value unsignedNumber(std::uint64_t number) {
    Value value;
    value.setUnsigned(number);
    return value;
  }
  static Value floatNumber(double number) {
    Value value;
    value.setFloat(number);
    return value;
  }
  static Value boolean(bool flag) {
    Value value;
    value.setBool(flag);
    return value;
  }

  TypeRegistry registry_;
};

// ---- Integers ----------------------------------------------------------------------

TEST_F(ValueToNative, IntegersOutOfTheirRangeAreRefusedWithTheValue) {
  std::int8_t small = 5;
  EXPECT_EQ(assign(small, signedNumber(128)), "Value 128 for 'x' of type int8 is out of range");
  EXPECT_EQ(small, 5);
  EXPECT_EQ(assign(small, signedNumber(-129)), "Value -129 for 'x' of type int8 is out of range");
  EXPECT_EQ(assign(small, signedNumber(-128)), "");
  EXPECT_EQ(small, -128);

  std::uint8_t byte = 0;
  EXPECT_EQ(assign(byte, signedNumber(-1)), "Value -1 for 'x' of type uint8 is out of range");
  EXPECT_EQ(assign(byte, unsignedNumber(256)), "Value 256 for 'x' of type uint8 is out of range");
  EXPECT_EQ(assign(byte, unsignedNumber(255)), "");
  EXPECT_EQ(byte, 255);

  std::int64_t wide = 0;
  EXPECT_EQ(assign(wide, unsignedNumber(9223372036854775808u)),
            "Value 9223372036854775808 for 'x' of type int64 is out of range");
  EXPECT_EQ(assign(wide, signedNumber(std::numeric_limits<std::int64_t>::min())), "");
  EXPECT_EQ(wide, std::numeric_limits<std::int64_t>::min());

  std::uint64_t huge = 0;
  EXPECT_EQ(assign(huge, unsignedNumber(18446744073709551615u)), "");
  EXPECT_EQ(huge, 18446744073709551615u);
  std::uint16_t half = 0;
  EXPECT_EQ(assign(half, signedNumber(65536)), "Value 65536 for 'x' of type uint16 is out of range");
  std::int16_t shortNumber = 0;
  EXPECT_EQ(assign(shortNumber, signedNumber(-32768)), "");
  EXPECT_EQ(shortNumber, -32768);
}

TEST_F(ValueToNative, IntegerTextsAreParsedInBaseZero) {
  std::int32_t number = 0;
  EXPECT_EQ(assign(number, text("0x10")), "");
  EXPECT_EQ(number, 16);
  EXPECT_EQ(assign(number, text("010")), "");
  EXPECT_EQ(number, 8);
  EXPECT_EQ(assign(number, text(" 5")), "");
  EXPECT_EQ(number, 5);
  EXPECT_EQ(assign(number, text("-7")), "");
  EXPECT_EQ(number, -7);
  EXPECT_EQ(assign(number, text("")), "");
  EXPECT_EQ(number, 0);
  EXPECT_EQ(assign(number, text("5 ")), "Value 5  for 'x' of type int32 is in an incorrect format");
  EXPECT_EQ(assign(number, text("twelve")), "Value twelve for 'x' of type int32 is in an incorrect format");
  EXPECT_EQ(assign(number, text("2147483648")), "Value 2147483648 for 'x' of type int32 is out of range");
  EXPECT_EQ(assign(number, text("99999999999999999999")),
            "Value 99999999999999999999 for 'x' of type int32 is out of range");
  // A zero byte inside the text is a leftover character, not its end.
  EXPECT_EQ(assign(number, text(std::string_view("5\0x", 3))),
            "Value 5 for 'x' of type int32 is in an incorrect format");
}

TEST_F(ValueToNative, UnsignedTextsRefuseMinusSigns) {
  std::uint32_t number = 3;
  EXPECT_EQ(assign(number, text("-1")), "Value -1 for 'x' of type uint32 is out of range");
  EXPECT_EQ(number, 3u);
  std::uint64_t wide = 3;
  EXPECT_EQ(assign(wide, text(" -1")), "Value  -1 for 'x' of type uint64 is out of range");
  EXPECT_EQ(assign(wide, text("18446744073709551616")),
            "Value 18446744073709551616 for 'x' of type uint64 is out of range");
  EXPECT_EQ(assign(wide, text("0xFFFFFFFFFFFFFFFF")), "");
  EXPECT_EQ(wide, 18446744073709551615u);
  EXPECT_EQ(assign(number, text("4294967296")), "Value 4294967296 for 'x' of type uint32 is out of range");
  EXPECT_EQ(assign(number, text("1x")), "Value 1x for 'x' of type uint32 is in an incorrect format");
}

TEST_F(ValueToNative, FloatsAreTruncatedTowardZeroWithinTheRange) {
  std::int32_t number = 0;
  EXPECT_EQ(assign(number, floatNumber(2.9)), "");
  EXPECT_EQ(number, 2);
  EXPECT_EQ(assign(number, floatNumber(-2.9)), "");
  EXPECT_EQ(number, -2);
  std::int64_t wide = 0;
  EXPECT_EQ(assign(wide, floatNumber(1e300)), "Value 1e+300 for 'x' of type int64 is out of range");
  // 2^63 compares equal to the int64 maximum as a double but does not fit.
  EXPECT_EQ(assign(wide, floatNumber(9223372036854775808.0)),
            "Value 9.22337e+18 for 'x' of type int64 is out of range");
  std::uint64_t unsignedWide = 0;
  EXPECT_EQ(assign(unsignedWide, floatNumber(18446744073709551616.0)),
            "Value 1.84467e+19 for 'x' of type uint64 is out of range");
  EXPECT_EQ(assign(unsignedWide, floatNumber(9007199254740992.0)), "");
  EXPECT_EQ(unsignedWide, 9007199254740992u);
  std::uint8_t byte = 0;
  EXPECT_EQ(assign(byte, floatNumber(-0.5)), "Value -0.5 for 'x' of type uint8 is out of range");
  EXPECT_EQ(assign(number, floatNumber(std::nan(""))), "Value nan for 'x' of type int32 is out of range");
}

TEST_F(ValueToNative, IntegersTakeEnumNumbersAndRefuseOtherKinds) {
  Value enumValue;
  enumValue.setEnum(EnumValue{-3, nullptr});
  std::int32_t number = 0;
  EXPECT_EQ(assign(number, enumValue), "");
  EXPECT_EQ(number, -3);
  std::uint32_t unsignedNumber = 0;
  EXPECT_EQ(assign(unsignedNumber, enumValue), "Value -3 for 'x' of type uint32 is out of range");
  EXPECT_EQ(assign(number, boolean(true)),
            "Couldn't assign value to 'x' of type int32 because the input is of an invalid type bool.");
  Value blob;
  blob.setBlob("ab", 2);
  EXPECT_EQ(assign(number, blob),
            "Couldn't assign value to 'x' of type int32 because the input is of an invalid type blob.");
  Value collection;
  collection.makeCollection();
  EXPECT_EQ(assign(number, collection),
            "Couldn't assign value to 'x' of type int32 because the input is of an invalid type collection.");
  Value structure;
  structure.makeStructure();
  EXPECT_EQ(assign(number, structure),
            "Couldn't assign value to 'x' of type int32 because the input is of an invalid type structure.");
  EXPECT_EQ(assign(number, Value()), "A value for 'x' is required.");
}

// ---- Floating point ------------------------------------------------------------------

TEST_F(ValueToNative, FloatingPointTargets) {
  float single = 0;
  EXPECT_EQ(assign(single, floatNumber(0.1)), "");
  EXPECT_EQ(single, 0.1f);
  EXPECT_EQ(assign(single, floatNumber(1e39)), "Value 1e+39 for 'x' of type float is out of range");
  EXPECT_EQ(assign(single, text("1e39")), "Value 1e39 for 'x' of type float is out of range");
  EXPECT_EQ(assign(single, floatNumber(std::nan(""))), "");
  EXPECT_TRUE(std::isnan(single));
  double number = 0;
  EXPECT_EQ(assign(number, text("2.5")), "");
  EXPECT_EQ(number, 2.5);
  EXPECT_EQ(assign(number, text("2.5kg")), "Value 2.5kg for 'x' of type double is in an incorrect format");
  EXPECT_EQ(assign(number, text("1e999")), "Value 1e999 for 'x' of type double is out of range");
  EXPECT_EQ(assign(number, floatNumber(std::numeric_limits<double>::infinity())),
            "Value inf for 'x' of type double is out of range");
  EXPECT_EQ(assign(number, signedNumber(-3)), "");
  EXPECT_EQ(number, -3.0);
  EXPECT_EQ(assign(number, unsignedNumber(18446744073709551615u)), "");
  EXPECT_EQ(number, 18446744073709551616.0);
  EXPECT_EQ(assign(number, boolean(false)),
            "Couldn't assign value to 'x' of type double because the input is of an invalid type bool.");
  EXPECT_EQ(assign(number, Value()), "A value for 'x' is required.");
}

// ---- Bool ------------------------------------------------------------------------------

TEST_F(ValueToNative, BoolTargetsAcceptBoolsAndFourTexts) {
  bool flag = false;
  EXPECT_EQ(assign(flag, boolean(true), "flag"), "");
  EXPECT_TRUE(flag);
  EXPECT_EQ(assign(flag, text("0"), "flag"), "");
  EXPECT_FALSE(flag);
  EXPECT_EQ(assign(flag, text("true"), "flag"), "");
  EXPECT_TRUE(flag);
  EXPECT_EQ(assign(flag, text("false"), "flag"), "");
  EXPECT_FALSE(flag);
  EXPECT_EQ(assign(flag, text("1"), "flag"), "");
  EXPECT_TRUE(flag);
  EXPECT_EQ(assign(flag, text("TRUE"), "flag"),
            "Value TRUE for 'flag' of type bool is in an incorrect format. Options are \"true\", \"false\", \"1\", "
            "\"0\".");
  EXPECT_EQ(assign(flag, signedNumber(5), "flag"),
            "Couldn't assign value to 'flag' of type bool because the input is of an invalid type signed.");
  EXPECT_EQ(assign(flag, floatNumber(1), "flag"),
            "Couldn't assign value to 'flag' of type bool because the input is of an invalid type float.");
  EXPECT_EQ(assign(flag, Value(), "flag"), "A value for 'flag' is required.");
}

// ---- Enums ------------------------------------------------------------------------------

TEST_F(ValueToNative, EnumTargetsAcceptNamesAndDeclaredNumbers) {
  PluginResourceEventType type = PluginResourceEventType::Create;
  EXPECT_EQ(assign(type, text("Update"), "eventType"), "");
  EXPECT_EQ(type, PluginResourceEventType::Update);
  type = PluginResourceEventType::Create;
  EXPECT_EQ(assign(type, signedNumber(1), "eventType"), "");
  EXPECT_EQ(type, PluginResourceEventType::Update);
  type = PluginResourceEventType::Create;
  EXPECT_EQ(assign(type, text("1"), "eventType"), "");
  EXPECT_EQ(type, PluginResourceEventType::Update);
  EXPECT_EQ(assign(type, text("0x2"), "eventType"), "");
  EXPECT_EQ(type, PluginResourceEventType::Delete);
  EXPECT_EQ(assign(type, unsignedNumber(0), "eventType"), "");
  EXPECT_EQ(type, PluginResourceEventType::Create);
  Value enumValue;
  enumValue.setEnum(EnumValue{2, nullptr});
  EXPECT_EQ(assign(type, enumValue, "eventType"), "");
  EXPECT_EQ(type, PluginResourceEventType::Delete);
}

TEST_F(ValueToNative, EnumTargetsRefuseUndeclaredValues) {
  PluginResourceEventType type = PluginResourceEventType::Update;
  EXPECT_EQ(assign(type, text("Remove"), "eventType"),
            "Remove is not a valid PluginResourceEventType enumeration value for 'eventType'.");
  EXPECT_EQ(assign(type, text("update"), "eventType"),
            "update is not a valid PluginResourceEventType enumeration value for 'eventType'.");
  EXPECT_EQ(assign(type, signedNumber(7), "eventType"),
            "7 is not a valid PluginResourceEventType enumeration value for 'eventType'.");
  // Only numbers within the signed 32-bit range can be declared values.
  EXPECT_EQ(assign(type, unsignedNumber(4294967297u), "eventType"),
            "4294967297 is not a valid PluginResourceEventType enumeration value for 'eventType'.");
  EXPECT_EQ(assign(type, text("4294967297"), "eventType"),
            "4294967297 is not a valid PluginResourceEventType enumeration value for 'eventType'.");
  EXPECT_EQ(assign(type, floatNumber(1), "eventType"),
            "Couldn't assign value to 'eventType' of enum type because the input is of an invalid type float.");
  EXPECT_EQ(assign(type, boolean(true), "eventType"),
            "Couldn't assign value to 'eventType' of enum type because the input is of an invalid type bool.");
  EXPECT_EQ(assign(type, Value(), "eventType"), "A value for 'eventType' is required.");
  EXPECT_EQ(type, PluginResourceEventType::Update);
}

TEST_F(ValueToNative, EnumsAreStoredWithTheirRegisteredWidth) {
  TypeRegistry registry;
  TypeBuilder builder = registry.registerType(1, "Narrow", &StaticType::HashRecord<void>(), true);
  builder.addEnumValue("Minus", -2);
  const TypeDescription* narrow = registry.findByName("Narrow");
  unsigned char bytes[8] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
  ValueResult result;
  ConversionContext context(result, &registry);
  assignEnum(context, bytes, narrow, text("Minus"), "n");
  ASSERT_TRUE(result.ok()) << result.error();
  EXPECT_EQ(bytes[0], 0xFE);
  EXPECT_EQ(bytes[1], 0xAA);

  TypeBuilder wide = registry.registerType(8, "Wide", &StaticType::HashRecord<void>(), true);
  wide.addEnumValue("Minus", -2);
  std::int64_t stored = 0;
  assignEnum(context, &stored, registry.findByName("Wide"), text("Minus"), "n");
  ASSERT_TRUE(result.ok()) << result.error();
  EXPECT_EQ(stored, -2);

  registry.registerType(3, "Odd", &StaticType::HashRecord<void>(), true).addEnumValue("A", 0);
  assignEnum(context, bytes, registry.findByName("Odd"), text("A"), "n");
  EXPECT_EQ(result.error(), "Couldn't assign value to 'n' of enum type Odd because its registered size 3 is not 1, 2, 4 or 8.");
}

// ---- Strings, blobs and objects ----------------------------------------------------------

TEST_F(ValueToNative, StringTargets) {
  std::string target = "old";
  EXPECT_EQ(assign(target, text("new"), "s"), "");
  EXPECT_EQ(target, "new");
  Value update;
  update.setEnum(EnumValue{1, &StaticType::HashRecord<PluginResourceEventType>().code});
  EXPECT_EQ(assign(target, update, "s"), "");
  EXPECT_EQ(target, "Update");
  Value unnamed;
  unnamed.setEnum(EnumValue{5, &StaticType::HashRecord<PluginResourceEventType>().code});
  EXPECT_EQ(assign(target, unnamed, "s"), "5 is not a valid enumeration value for 's'.");
  EXPECT_EQ(target, "");
  target = "old";
  EXPECT_EQ(assign(target, signedNumber(1), "s"), "Couldn't assign value to 's' because the input is not a string.");
  EXPECT_EQ(target, "");
  target = "old";
  EXPECT_EQ(assign(target, boolean(true), "s"), "Couldn't assign value to 's' because the input is not a string.");
  EXPECT_EQ(target, "");
  EXPECT_EQ(assign(target, Value(), "s"), "A value for 's' is required.");
}

TEST_F(ValueToNative, BlobTargetsDecodeBase64) {
  std::vector<std::uint8_t> bytes;
  EXPECT_EQ(assign(bytes, text("QUJD"), "b"), "");
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{'A', 'B', 'C'}));
  EXPECT_EQ(assign(bytes, text("QQ=="), "b"), "");
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{'A'}));
  EXPECT_EQ(assign(bytes, text("QUJD=QUJD"), "b"), "");
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{'A', 'B', 'C'}));
  EXPECT_EQ(assign(bytes, text("QUI"), "b"), "");
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{'A', 'B'}));
  EXPECT_EQ(assign(bytes, text("QUJDR"), "b"), "");
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{'A', 'B', 'C'}));
  EXPECT_EQ(assign(bytes, text("+/+/"), "b"), "");
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0xFB, 0xFF, 0xBF}));
  EXPECT_EQ(assign(bytes, text("QUJ?"), "b"),
            "Couldn't assign string value to 'b' of type blob because the input has invalid base64 characters.");
  EXPECT_EQ(assign(bytes, text("QU JD"), "b"),
            "Couldn't assign string value to 'b' of type blob because the input has invalid base64 characters.");
  Value blob;
  blob.setBlob("\x01\x02", 2);
  EXPECT_EQ(assign(bytes, blob, "b"), "");
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{1, 2}));
  EXPECT_EQ(assign(bytes, signedNumber(1), "b"),
            "Couldn't assign value to 'b' of type blob because the input is not a blob.");
  EXPECT_EQ(assign(bytes, Value(), "b"), "A value for 'b' is required.");
}

TEST_F(ValueToNative, ObjectTargetsTakeADeepCopyOfAnything) {
  Value target;
  target.setString("old");
  Value source = BindingTest::nestedStructures(5);
  EXPECT_EQ(assign(target, source, "o"), "");
  EXPECT_TRUE(BindingTest::sameTree(target, source));
  source.writeMember("child").setEmpty();
  EXPECT_FALSE(target.member("child").isEmpty());
  EXPECT_EQ(assign(target, Value(), "o"), "");
  EXPECT_TRUE(target.isEmpty());
}

// ---- Vectors and maps ------------------------------------------------------------------------

TEST_F(ValueToNative, VectorTargets) {
  Value source;
  source.appendElement().setSigned(std::int32_t{4});
  source.appendElement();
  source.appendElement().setString("6");
  std::vector<std::int32_t> numbers{9, 9, 9, 9, 9};
  EXPECT_EQ(assign(numbers, source, "v"), "");
  EXPECT_EQ(numbers, (std::vector<std::int32_t>{4, 0, 6}));

  std::vector<std::int8_t> small;
  Value tooLarge;
  tooLarge.appendElement().setSigned(std::int32_t{1});
  tooLarge.appendElement().setSigned(std::int32_t{300});
  EXPECT_EQ(assign(small, tooLarge, "v"), "Value 300 for 'v' of type int8 is out of range");

  EXPECT_EQ(assign(numbers, text("1"), "v"),
            "Couldn't assign value to 'v' of type vector because the input not a collection.");
  EXPECT_TRUE(numbers.empty());
  EXPECT_EQ(assign(numbers, Value(), "v"),
            "Couldn't assign value to 'v' of type vector because the input not a collection.");
  std::vector<bool> flags{true};
  EXPECT_EQ(assign(flags, Value(), "v"), "A value for 'v' is required.");
  Value flagSource;
  flagSource.appendElement().setBool(true);
  flagSource.appendElement();
  flagSource.appendElement().setString("1");
  EXPECT_EQ(assign(flags, flagSource, "v"), "");
  EXPECT_EQ(flags, (std::vector<bool>{true, false, true}));
}

TEST_F(ValueToNative, MapTargets) {
  Value source;
  source.writeMember("b").setString("2");
  source.writeMember("a").setSigned(std::int32_t{1});
  source.writeMember("skipped");
  std::unordered_map<std::string, std::int32_t> map{{"old", 1}};
  EXPECT_EQ(assign(map, source, "m"), "");
  EXPECT_EQ(map, (std::unordered_map<std::string, std::int32_t>{{"a", 1}, {"b", 2}}));

  Value collection;
  collection.appendElement().setSigned(std::int32_t{1});
  EXPECT_EQ(assign(map, collection, "m"), "Couldn't assign value to 'm' of type map because the input not a structure.");
  EXPECT_TRUE(map.empty());

  Value bad;
  bad.writeMember("a").setString("x");
  EXPECT_EQ(assign(map, bad, "m"), "Value x for 'm' of type int32 is in an incorrect format");
}

// ---- Structs --------------------------------------------------------------------------------------

TEST_F(ValueToNative, StructsAssignMatchingMembersAndKeepTheRest) {
  PluginResourceEvent event;
  event.uri = "/kept";
  event.eventType = PluginResourceEventType::Delete;
  Value source;
  source.writeMember("eventType").setString("Update");
  source.writeMember("data").writeMember("k").setBool(true);
  source.writeMember("unknown").setSigned(std::int32_t{1});
  source.writeMember("uri");  // empty: the native member keeps its value
  EXPECT_EQ(assign(event, source, "event"), "");
  EXPECT_EQ(event.uri, "/kept");
  EXPECT_EQ(event.eventType, PluginResourceEventType::Update);
  EXPECT_TRUE(event.data.member("k").getBool());
}

TEST_F(ValueToNative, StructMessagesNameTheFieldNotAPath) {
  PluginResourceEvent event;
  Value source;
  source.writeMember("eventType").setString("Remove");
  EXPECT_EQ(assign(event, source, "event"),
            "Remove is not a valid PluginResourceEventType enumeration value for 'eventType'.");
  EXPECT_EQ(assign(event, text("x"), "event"),
            "Couldn't assign value to 'event' of type PluginResourceEvent because the input not a structure.");
  EXPECT_EQ(assign(event, Value(), "event"), "A value for 'event' is required.");
}

TEST_F(ValueToNative, TheFirstFailureStopsLaterMembers) {
  Pair pair;
  Value source;
  source.writeMember("first").setString("bad");
  source.writeMember("second").setSigned(std::int32_t{2});
  EXPECT_EQ(assign(pair, source, "pair"), "Value bad for 'first' of type int32 is in an incorrect format");
  EXPECT_EQ(pair.first, -1);
  EXPECT_EQ(pair.second, -1);
}

TEST_F(ValueToNative, RequiredFieldsMustBePresent) {
  TypeRegistry registry;
  const TypeRef int32Type{NativeKind::Int32, NativeKind::None, nullptr};
  registry.registerStruct<Pair>("Pair")
      .addField("first", "", offsetof(Pair, first), &StaticType::HashRecord<std::int32_t>(), int32Type, nullptr, 0,
                nullptr)
      .addField("second", "", offsetof(Pair, second), &StaticType::HashRecord<std::int32_t>(), int32Type, nullptr,
                requiredField, nullptr);
  Pair pair;
  Value source;
  source.writeMember("first").setSigned(std::int32_t{1});
  const ValueResult result = assignFromValue(pair, source, "pair", &registry);
  EXPECT_EQ(result.error(),
            "Couldn't assign value to 'pair' of type Pair because the input structure doesn't have required field "
            "'second'.");
  EXPECT_EQ(pair.first, 1);
}

TEST_F(ValueToNative, UnregisteredStructsAreRefused) {
  TypeRegistry empty;
  Pair pair;
  Value source;
  source.writeMember("first").setSigned(std::int32_t{1});
  const ValueResult result = assignFromValue(pair, source, "pair", &empty);
  EXPECT_EQ(result.error(),
            "Couldn't assign value to 'pair' because the input is an unregistered structure or not a structure at "
            "all.");
  EXPECT_EQ(assignFromValue(pair, source, "pair", nullptr).error(), result.error());
}

TEST_F(ValueToNative, StructsOfStructsAndVectorsOfStructs) {
  Value source = BindingTest::nodeChain(4);
  source.writeMember("children").appendElement().writeMember("id").setSigned(std::int32_t{99});
  Node node;
  EXPECT_EQ(assign(node, source, "node"), "");
  EXPECT_EQ(node.id, 0);
  ASSERT_EQ(node.children.size(), 2u);
  EXPECT_EQ(node.children[1].id, 99);
  ASSERT_EQ(node.children[0].children.size(), 1u);
  EXPECT_EQ(node.children[0].children[0].id, 2);
  ASSERT_EQ(node.children[0].children[0].children.size(), 1u);
  EXPECT_EQ(node.children[0].children[0].children[0].id, 3);
}

// ---- Failure state and nesting ----------------------------------------------------------------------

TEST_F(ValueToNative, AfterAFailureTargetsGetTheirEmptyValueAndStructsStayUntouched) {
  ValueResult result;
  ConversionContext context(result, &registry_);
  context.fail("earlier");
  std::int32_t number = 5;
  assignNative(context, number, signedNumber(6), "n");
  EXPECT_EQ(number, 0);
  double real = 5;
  assignNative(context, real, floatNumber(6), "n");
  EXPECT_EQ(real, 0.0);
  bool flag = true;
  assignNative(context, flag, boolean(true), "n");
  EXPECT_FALSE(flag);
  std::string textTarget = "t";
  assignNative(context, textTarget, text("u"), "n");
  EXPECT_EQ(textTarget, "");
  std::vector<std::int32_t> numbers{1, 2};
  assignNative(context, numbers, Value(), "n");
  EXPECT_TRUE(numbers.empty());
  PluginResourceEventType type = PluginResourceEventType::Delete;
  assignNative(context, type, text("Update"), "n");
  EXPECT_EQ(type, PluginResourceEventType::Create);
  Value object;
  object.setBool(true);
  assignNative(context, object, text("x"), "n");
  EXPECT_TRUE(object.isEmpty());
  Pair pair;
  Value source;
  source.writeMember("first").setSigned(std::int32_t{1});
  assignNative(context, pair, source, "n");
  EXPECT_EQ(pair.first, -1);
  EXPECT_EQ(result.error(), "earlier");
}

TEST_F(ValueToNative, DeepInputWithinTheLimitConverts) {
  // Each node level is a structure and a collection: 512 levels of nesting.
  Node node;
  EXPECT_EQ(assign(node, BindingTest::nodeChain(256), "node"), "");
  const Node* level = &node;
  std::size_t depth = 1;
  while (!level->children.empty()) {
    level = &level->children[0];
    ++depth;
  }
  EXPECT_EQ(depth, 256u);
}

TEST_F(ValueToNative, InputNestedBeyondTheLimitFailsWithoutExhaustingTheStack) {
  Node node;
  EXPECT_EQ(assign(node, BindingTest::nodeChain(257), "node"),
            "Couldn't assign value to 'children' because the input is nested deeper than 512 levels.");
  EXPECT_EQ(assign(node, BindingTest::nodeChain(5000), "node"),
            "Couldn't assign value to 'children' because the input is nested deeper than 512 levels.");
}

TEST_F(ValueToNative, OptionalTargetsStayEmptyWithoutAValue) {
  std::optional<std::int32_t> maybe = 4;
  EXPECT_EQ(assign(maybe, Value()), "");
  EXPECT_FALSE(maybe.has_value());
  EXPECT_EQ(assign(maybe, text("12")), "");
  EXPECT_EQ(maybe, 12);
}

TEST_F(ValueToNative, KindRulesWorkOnRawRecordsThroughTypeRefs) {
  struct Raw {
    std::uint16_t port;
    std::vector<std::string> names;
  } raw{};
  ValueResult result;
  ConversionContext context(result, &registry_);
  EXPECT_TRUE(assignByType(context, &raw.port, {NativeKind::UInt16, NativeKind::None, nullptr}, text("8080"), "port"));
  Value names;
  names.appendElement().setString("a");
  names.appendElement().setString("b");
  EXPECT_TRUE(assignByType(context, &raw.names, {NativeKind::Vector, NativeKind::String, nullptr}, names, "names"));
  EXPECT_FALSE(assignByType(context, &raw.names, {NativeKind::Callback, NativeKind::None, nullptr}, names, "cb"));
  ASSERT_TRUE(result.ok()) << result.error();
  EXPECT_EQ(raw.port, 8080);
  EXPECT_EQ(raw.names, (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(hasBuiltInRule({NativeKind::Map, NativeKind::Object, nullptr}));
  EXPECT_FALSE(hasBuiltInRule({NativeKind::Vector, NativeKind::Struct, nullptr}));
  EXPECT_FALSE(hasBuiltInRule({NativeKind::Blob, NativeKind::None, nullptr}));
}

}  // namespace
}  // namespace Quor
