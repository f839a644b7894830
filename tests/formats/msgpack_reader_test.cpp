#include "formats/msgpack_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include "binding/library_allocator.h"
#include "formats/json_reader.h"
#include "binding/nesting_limit.h"
#include "formats/value_text_writer.h"
#include "small_stack_thread.h"

namespace Quor {
namespace {

using Bytes = std::vector<std::uint8_t>;

MessagePackReading read(const Bytes& bytes) { return parseMessagePack(bytes.data(), bytes.size()); }

std::string typedText(const Value& value) { return valueToText(value, ValueTextStyle::Typed); }

// The typed text of a document that must read whole.
std::string readTyped(const Bytes& bytes) {
  const MessagePackReading reading = read(bytes);
  EXPECT_TRUE(reading.result.ok()) << reading.result.error();
  EXPECT_EQ(reading.position, bytes.size());
  return typedText(reading.result.value());
}

std::string errorOf(const Bytes& bytes) {
  const MessagePackReading reading = read(bytes);
  EXPECT_FALSE(reading.result.ok()) << typedText(reading.result.value());
  return std::string(reading.result.error());
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes repeated(std::size_t count, const Bytes& part) {
  Bytes all;
  all.reserve(count * part.size());
  for (std::size_t index = 0; index < count; ++index) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST(MessagePackReaderInput, NoBytesGiveAnEmptyValueAtPositionZero) {
  const MessagePackReading reading = parseMessagePack(nullptr, 0);
  EXPECT_TRUE(reading.result.ok());
  EXPECT_TRUE(reading.result.value().isEmpty());
  EXPECT_EQ(reading.position, 0u);
  const std::uint8_t byte = 0xC0;
  EXPECT_EQ(parseMessagePack(&byte, 0).position, 0u);
}

TEST(MessagePackReaderInput, ThePositionStopsAfterTheValue) {
  const MessagePackReading reading = read({0x91, 0x01, 0x02});
  ASSERT_TRUE(reading.result.ok());
  EXPECT_EQ(reading.position, 2u);
  EXPECT_EQ(typedText(reading.result.value()), "[i:1]");

  const MessagePackReading nil = read({0xC0});
  EXPECT_TRUE(nil.result.ok());
  EXPECT_TRUE(nil.result.value().isEmpty());
  EXPECT_EQ(nil.position, 1u);

  EXPECT_EQ(read({0xCD, 0x01, 0x02, 0xC0, 0xC0}).position, 3u);
}

TEST(MessagePackReaderScalars, FixintIsSignedForBothRanges) {
  const struct {
    std::uint8_t byte;
    std::int64_t value;
  } cases[] = {{0x00, 0}, {0x05, 5}, {0x7F, 127}, {0xE0, -32}, {0xF0, -16}, {0xFF, -1}};
  for (const auto& entry : cases) {
    const MessagePackReading reading = read({entry.byte});
    ASSERT_TRUE(reading.result.ok()) << int{entry.byte};
    EXPECT_EQ(reading.result.value().kind(), ValueKind::Signed) << int{entry.byte};
    EXPECT_EQ(reading.result.value().getSigned(), entry.value) << int{entry.byte};
  }
}

TEST(MessagePackReaderScalars, NilAndBooleans) {
  EXPECT_EQ(readTyped({0xC0}), "null");
  EXPECT_EQ(readTyped({0xC2}), "false");
  EXPECT_EQ(readTyped({0xC3}), "true");
  EXPECT_EQ(read({0xC3}).result.value().kind(), ValueKind::Bool);
}

TEST(MessagePackReaderScalars, UnsignedIntegersOfEveryWidthAreUnsigned) {
  EXPECT_EQ(readTyped({0xCC, 0x7F}), "u:127");
  EXPECT_EQ(readTyped({0xCC, 0xFF}), "u:255");
  EXPECT_EQ(readTyped({0xCD, 0x01, 0x02}), "u:258");
  EXPECT_EQ(readTyped({0xCD, 0xFF, 0xFF}), "u:65535");
  EXPECT_EQ(readTyped({0xCE, 0x01, 0x02, 0x03, 0x04}), "u:16909060");
  EXPECT_EQ(readTyped({0xCE, 0xFF, 0xFF, 0xFF, 0xFF}), "u:4294967295");
  EXPECT_EQ(readTyped({0xCF, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}), "u:72623859790382856");
  EXPECT_EQ(readTyped({0xCF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), "u:18446744073709551615");
  EXPECT_EQ(read({0xCC, 0x7F}).result.value().kind(), ValueKind::Unsigned);
}

TEST(MessagePackReaderScalars, SignedIntegersOfEveryWidthAreSignExtended) {
  EXPECT_EQ(readTyped({0xD0, 0xFF}), "i:-1");
  EXPECT_EQ(readTyped({0xD0, 0x80}), "i:-128");
  EXPECT_EQ(readTyped({0xD0, 0x7F}), "i:127");
  EXPECT_EQ(readTyped({0xD1, 0x80, 0x00}), "i:-32768");
  EXPECT_EQ(readTyped({0xD1, 0x01, 0x00}), "i:256");
  EXPECT_EQ(readTyped({0xD2, 0x80, 0x00, 0x00, 0x00}), "i:-2147483648");
  EXPECT_EQ(readTyped({0xD2, 0xFF, 0xFF, 0xFF, 0xFE}), "i:-2");
  EXPECT_EQ(readTyped({0xD3, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}), "i:-9223372036854775808");
  EXPECT_EQ(readTyped({0xD3, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}), "i:4294967296");
  EXPECT_EQ(read({0xD0, 0xFF}).result.value().kind(), ValueKind::Signed);
}

TEST(MessagePackReaderScalars, FloatsAreWidenedToDouble) {
  // 1.5 as float 32 and as float 64.
  const MessagePackReading single = read({0xCA, 0x3F, 0xC0, 0x00, 0x00});
  ASSERT_TRUE(single.result.ok());
  EXPECT_EQ(single.result.value().kind(), ValueKind::Float);
  EXPECT_EQ(single.result.value().getFloat(), 1.5);
  EXPECT_EQ(single.position, 5u);
  // 0.1f widens to its exact single-precision value, not to 0.1.
  EXPECT_EQ(read({0xCA, 0x3D, 0xCC, 0xCC, 0xCD}).result.value().getFloat(), static_cast<double>(0.1f));
  EXPECT_EQ(readTyped({0xCB, 0x3F, 0xF8, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}), "f:1.5");
  EXPECT_EQ(readTyped({0xCB, 0xC0, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}), "f:-2.5");
  EXPECT_EQ(readTyped({0xCB, 0x7F, 0xF0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}), "f:inf");
  EXPECT_TRUE(std::isnan(read({0xCA, 0x7F, 0xC0, 0x00, 0x00}).result.value().getFloat()));
}

TEST(MessagePackReaderScalars, StringsOfEveryWidthCopyTheirBytes) {
  EXPECT_EQ(readTyped({0xA0}), "\"\"");
  EXPECT_EQ(read({0xA0}).result.value().kind(), ValueKind::String);
  EXPECT_EQ(readTyped({0xA3, 'a', 'b', 'c'}), "\"abc\"");
  EXPECT_EQ(readTyped({0xD9, 0x02, 'h', 'i'}), "\"hi\"");
  EXPECT_EQ(readTyped({0xDA, 0x00, 0x01, 'x'}), "\"x\"");
  EXPECT_EQ(readTyped({0xDB, 0x00, 0x00, 0x00, 0x02, 0xC3, 0xA9}), "\"\xC3\xA9\"");

  const std::string text(31, 'q');
  Bytes fixstr31{0xBF};
  fixstr31.insert(fixstr31.end(), text.begin(), text.end());
  EXPECT_EQ(read(fixstr31).result.value().getString(), text);

  const std::string long300(300, 'z');
  Bytes str16{0xDA, 0x01, 0x2C};
  str16.insert(str16.end(), long300.begin(), long300.end());
  EXPECT_EQ(read(str16).result.value().getString(), long300);

  // An embedded NUL is part of the text.
  EXPECT_EQ(read({0xA3, 'a', 0x00, 'b'}).result.value().getString(), std::string_view("a\0b", 3));
}

TEST(MessagePackReaderScalars, RawBytesOfEveryWidthAreBlobs) {
  const MessagePackReading bin8 = read({0xC4, 0x03, 0x00, 0xFF, 0x10});
  ASSERT_TRUE(bin8.result.ok());
  EXPECT_EQ(bin8.result.value().kind(), ValueKind::Blob);
  const Bytes expected{0x00, 0xFF, 0x10};
  const auto blob = bin8.result.value().getBlob();
  EXPECT_EQ(Bytes(blob.begin(), blob.end()), expected);

  EXPECT_EQ(readTyped({0xC4, 0x00}), "b:");
  EXPECT_EQ(readTyped({0xC5, 0x00, 0x02, 'h', 'i'}), "b:aGk=");
  EXPECT_EQ(readTyped({0xC6, 0x00, 0x00, 0x00, 0x03, 'a', 'b', 'c'}), "b:YWJj");
}

TEST(MessagePackReaderContainers, ArraysOfEveryWidthKeepTheirOrder) {
  EXPECT_EQ(readTyped({0x90}), "[]");
  EXPECT_EQ(read({0x90}).result.value().kind(), ValueKind::Collection);
  EXPECT_EQ(readTyped({0x93, 0x01, 0xC0, 0xC3}), "[i:1,null,true]");
  EXPECT_EQ(readTyped({0xDC, 0x00, 0x02, 0xFF, 0xA1, 'x'}), "[i:-1,\"x\"]");
  EXPECT_EQ(readTyped({0xDD, 0x00, 0x00, 0x00, 0x01, 0x90}), "[[]]");
  EXPECT_EQ(readTyped(concat({{0x9F}, repeated(15, {0x07})})), "[i:7,i:7,i:7,i:7,i:7,i:7,i:7,i:7,i:7,i:7,i:7,i:7,i:7,i:7,i:7]");

  const MessagePackReading many = read(concat({{0xDC, 0x01, 0x00}, repeated(256, {0xC2})}));
  ASSERT_TRUE(many.result.ok());
  EXPECT_EQ(many.result.value().size(), 256u);
  EXPECT_EQ(many.position, 3u + 256u);
}

TEST(MessagePackReaderContainers, MapsOfEveryWidthBecomeStructuresInNameOrder) {
  EXPECT_EQ(readTyped({0x80}), "{}");
  EXPECT_EQ(read({0x80}).result.value().kind(), ValueKind::Structure);
  EXPECT_EQ(readTyped({0x82, 0xA1, 'b', 0x01, 0xA1, 'a', 0xCC, 0x02}), "{\"a\":u:2,\"b\":i:1}");
  EXPECT_EQ(readTyped({0xDE, 0x00, 0x01, 0xD9, 0x01, 'k', 0x90}), "{\"k\":[]}");
  EXPECT_EQ(readTyped({0xDF, 0x00, 0x00, 0x00, 0x01, 0xDA, 0x00, 0x01, 'k', 0x80}), "{\"k\":{}}");
  EXPECT_EQ(readTyped({0x81, 0xDB, 0x00, 0x00, 0x00, 0x00, 0xC0}), "{\"\":null}");
  EXPECT_EQ(readTyped({0x81, 0xA1, 'n', 0x92, 0x81, 0xA1, 'x', 0x92, 0x01, 0x80, 0x90}),
            "{\"n\":[{\"x\":[i:1,{}]},[]]}");
}

TEST(MessagePackReaderContainers, ReadContainersGrowAndCopyLikeAnyOther) {
  // Small containers keep their items in their header's block: growing one
  // afterwards, copying it and freeing it must treat that block right.
  for (std::uint8_t items = 1; items <= 5; ++items) {
    Bytes array{static_cast<std::uint8_t>(0x90 | items)};
    Bytes map{static_cast<std::uint8_t>(0x80 | items)};
    for (std::uint8_t index = 0; index < items; ++index) {
      array.push_back(index);
      map.insert(map.end(), {0xA1, static_cast<std::uint8_t>('a' + index), index});
    }
    MessagePackReading reading = read(concat({{0x92}, array, map}));
    ASSERT_TRUE(reading.result.ok());
    Value& tree = reading.result.value();
    const Value before(tree);
    for (int added = 0; added < 10; ++added) {
      tree.writeElement(0).appendElement().setSigned(added);
      tree.writeElement(1).writeMember("z" + std::to_string(added)).setSigned(added);
    }
    EXPECT_EQ(tree.element(0).size(), items + 10u);
    EXPECT_EQ(tree.element(1).size(), items + 10u);
    EXPECT_EQ(tree.element(0).element(items + 9u).getSigned(), 9);
    EXPECT_EQ(tree.element(1).member("a").getSigned(), 0);
    EXPECT_EQ(before.element(0).size(), std::size_t{items});
    EXPECT_EQ(Value(before).element(1).member("a").getSigned(), 0);
  }
}

TEST(MessagePackReaderContainers, ARepeatedKeyKeepsItsLastValueWithoutMerging) {
  const MessagePackReading reading = read({0x82, 0xA1, 'a', 0x01, 0xA1, 'a', 0x02});
  ASSERT_TRUE(reading.result.ok());
  EXPECT_EQ(reading.result.value().size(), 1u);
  EXPECT_EQ(reading.result.value().member("a").getSigned(), 2);

  EXPECT_EQ(readTyped({0x82, 0xA1, 'a', 0x92, 0x01, 0x02, 0xA1, 'a', 0x91, 0x03}), "{\"a\":[i:3]}");
  EXPECT_EQ(readTyped({0x82, 0xA1, 'a', 0x81, 0xA1, 'x', 0x01, 0xA1, 'a', 0x81, 0xA1, 'y', 0x02}),
            "{\"a\":{\"y\":i:2}}");
  EXPECT_EQ(readTyped({0x82, 0xA1, 'a', 0x91, 0x01, 0xA1, 'a', 0xC0}), "{\"a\":null}");
}

TEST(MessagePackReaderContainers, MapsThatStartLikeAnEarlierShapeReadLikeAnyOther) {
  // A map whose first name and count match a shape met before has its names
  // checked against that shape's as they come: wherever they part, it must
  // read as any other map would.
  const auto map = [](std::initializer_list<char> names) {
    Bytes bytes{static_cast<std::uint8_t>(0x80 | names.size())};
    std::uint8_t value = 0;
    for (const char name : names) bytes.insert(bytes.end(), {0xA1, static_cast<std::uint8_t>(name), value++});
    return bytes;
  };
  const Bytes shape = map({'d', 'a', 'c', 'b'});
  const std::string shapeText = R"({"a":i:1,"b":i:3,"c":i:2,"d":i:0})";
  const struct {
    Bytes map;
    std::string expected;
  } cases[] = {
      {shape, shapeText},
      {map({'d', 'a', 'x', 'b'}), R"({"a":i:1,"b":i:3,"d":i:0,"x":i:2})"},
      {map({'d', 'a', 'c', 'e'}), R"({"a":i:1,"c":i:2,"d":i:0,"e":i:3})"},
      {map({'d', 'a', 'a', 'b'}), R"({"a":i:2,"b":i:3,"d":i:0})"},
      {map({'d', 'b', 'c', 'a'}), R"({"a":i:3,"b":i:1,"c":i:2,"d":i:0})"},
      {map({'d', 'a', 'c', 'b', 'e'}), R"({"a":i:1,"b":i:3,"c":i:2,"d":i:0,"e":i:4})"},
      {map({'d', 'a', 'c'}), R"({"a":i:1,"c":i:2,"d":i:0})"},
      {map({'d', 'a', 'c', 'B'}), R"({"B":i:3,"a":i:1,"c":i:2,"d":i:0})"},
  };
  for (const auto& testCase : cases) {
    // The shape is learnt from the first two maps; the third and the case
    // are read against it, and the shape once more after the case.
    const std::string read = readTyped(concat({{0x95}, shape, shape, shape, testCase.map, shape}));
    EXPECT_EQ(read, "[" + shapeText + "," + shapeText + "," + shapeText + "," + testCase.expected + "," + shapeText + "]");
  }
}

TEST(MessagePackReaderContainers, AShapeLearntWhileAMapIsOpenDoesNotOrderIt) {
  // The map {d,a,c,b} starts like a shape learnt before; its first value
  // holds hundreds of shapes {Q,a,c,b} learnt meanwhile, one of which takes
  // the slot of the shape the map started like (the slot is one of 64), and
  // whose later names (a,c,b) the map's match. The map must still come out
  // in name order, not in the newer shape's.
  const auto member = [](Bytes& bytes, std::initializer_list<std::uint8_t> name, std::uint8_t value) {
    bytes.push_back(static_cast<std::uint8_t>(0xA0 | name.size()));
    bytes.insert(bytes.end(), name);
    bytes.push_back(value);
  };
  Bytes shape{0x84};
  for (const std::uint8_t name : {'d', 'a', 'c', 'b'}) member(shape, {name}, 0);
  constexpr std::size_t newerShapes = 600;
  Bytes learnt{0xDC, static_cast<std::uint8_t>(2 * newerShapes >> 8), static_cast<std::uint8_t>(2 * newerShapes & 0xFF)};
  for (std::size_t index = 0; index < newerShapes; ++index) {
    Bytes newer{0x84};
    member(newer, {static_cast<std::uint8_t>('A' + index / 40), static_cast<std::uint8_t>('0' + index % 40)}, 0);
    for (const std::uint8_t name : {'a', 'c', 'b'}) member(newer, {name}, 0);
    learnt = concat({learnt, newer, newer});
  }
  Bytes open{0x84, 0xA1, 'd'};
  open = concat({open, learnt});
  member(open, {'a'}, 1);
  member(open, {'c'}, 2);
  member(open, {'b'}, 3);

  const Bytes document = concat({{0x93}, shape, shape, open});
  const MessagePackReading reading = read(document);
  ASSERT_TRUE(reading.result.ok()) << reading.result.error();
  const Value& map = reading.result.value().element(2);
  std::string names;
  for (const MemberView member : map.members()) names += member.name;
  EXPECT_EQ(names, "abcd");
  EXPECT_EQ(map.member("a").getSigned(), 1);
  EXPECT_EQ(map.member("b").getSigned(), 3);
  EXPECT_EQ(map.member("c").getSigned(), 2);
  EXPECT_EQ(map.member("d").size(), 2 * newerShapes);
}

TEST(MessagePackReaderErrors, UnusedAndExtensionTypeBytesFailAfterTheTypeByte) {
  for (const std::uint8_t byte : {0xC1, 0xC7, 0xC8, 0xC9, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8}) {
    const MessagePackReading reading = read({byte, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    EXPECT_EQ(reading.result.error(), "Invalid MessagePack data at position 1.") << int{byte};
    EXPECT_EQ(reading.position, 1u);
  }
  EXPECT_EQ(errorOf({0xD4, 0x01, 0x00}), "Invalid MessagePack data at position 1.");
  EXPECT_EQ(errorOf({0x92, 0x01, 0xC1}), "Invalid MessagePack data at position 3.");
}

TEST(MessagePackReaderErrors, MapKeysMustBeStrings) {
  EXPECT_EQ(errorOf({0x81, 0x01, 0x02}), "Invalid MessagePack data at position 2. Map keys must be strings.");
  EXPECT_EQ(errorOf({0x82, 0xA1, 'a', 0xC0, 0xC4, 0x01, 'b', 0x01}),
            "Invalid MessagePack data at position 5. Map keys must be strings.");
  EXPECT_EQ(errorOf({0x81, 0x90, 0x01}), "Invalid MessagePack data at position 2. Map keys must be strings.");
  EXPECT_EQ(errorOf({0x81, 0xC0, 0x01}), "Invalid MessagePack data at position 2. Map keys must be strings.");
}

TEST(MessagePackReaderErrors, TruncatedNumbersNameTheirWidthAndWhereTheReadStarts) {
  EXPECT_EQ(errorOf({0xCC}), "Invalid MessagePack data. 8-bit integer value at position 1 is truncated.");
  EXPECT_EQ(errorOf({0xD0}), "Invalid MessagePack data. 8-bit integer value at position 1 is truncated.");
  EXPECT_EQ(errorOf({0xCD, 0x01}), "Invalid MessagePack data. 16-bit integer value at position 1 is truncated.");
  EXPECT_EQ(errorOf({0xD1, 0x01}), "Invalid MessagePack data. 16-bit integer value at position 1 is truncated.");
  EXPECT_EQ(errorOf({0xCE, 0x01, 0x02, 0x03}),
            "Invalid MessagePack data. 32-bit integer value at position 1 is truncated.");
  EXPECT_EQ(errorOf({0xCA, 0x3F}), "Invalid MessagePack data. 32-bit integer value at position 1 is truncated.");
  EXPECT_EQ(errorOf({0xCF, 0, 0, 0, 0, 0, 0, 0}),
            "Invalid MessagePack data. 64-bit integer value at position 1 is truncated.");
  EXPECT_EQ(errorOf({0xCB, 0x3F}), "Invalid MessagePack data. 64-bit integer value at position 1 is truncated.");
  EXPECT_EQ(errorOf({0x91, 0xD3, 0x00}), "Invalid MessagePack data. 64-bit integer value at position 2 is truncated.");

  const MessagePackReading reading = read({0x92, 0x01, 0xCD, 0x01});
  EXPECT_EQ(reading.result.error(), "Invalid MessagePack data. 16-bit integer value at position 3 is truncated.");
  EXPECT_EQ(reading.position, 3u);
}

TEST(MessagePackReaderErrors, TruncatedLengthsAndCountsAreTruncatedIntegers) {
  EXPECT_EQ(errorOf({0xD9}), "Invalid MessagePack data. 8-bit integer value at position 1 is truncated.");
  EXPECT_EQ(errorOf({0xC4}), "Invalid MessagePack data. 8-bit integer value at position 1 is truncated.");
  EXPECT_EQ(errorOf({0xDA, 0x00}), "Invalid MessagePack data. 16-bit integer value at position 1 is truncated.");
  EXPECT_EQ(errorOf({0xC5}), "Invalid MessagePack data. 16-bit integer value at position 1 is truncated.");
  EXPECT_EQ(errorOf({0xDB, 0, 0}), "Invalid MessagePack data. 32-bit integer value at position 1 is truncated.");
  EXPECT_EQ(errorOf({0xC6, 0, 0, 0}), "Invalid MessagePack data. 32-bit integer value at position 1 is truncated.");
  EXPECT_EQ(errorOf({0xDC, 0x00}), "Invalid MessagePack data. 16-bit integer value at position 1 is truncated.");
  EXPECT_EQ(errorOf({0xDD, 0x00}), "Invalid MessagePack data. 32-bit integer value at position 1 is truncated.");
  EXPECT_EQ(errorOf({0xDE}), "Invalid MessagePack data. 16-bit integer value at position 1 is truncated.");
  EXPECT_EQ(errorOf({0xDF, 0, 0, 0}), "Invalid MessagePack data. 32-bit integer value at position 1 is truncated.");
  // A key's length.
  EXPECT_EQ(errorOf({0x81, 0xD9}), "Invalid MessagePack data. 8-bit integer value at position 2 is truncated.");
}

TEST(MessagePackReaderErrors, TruncatedPayloadsNameTheirSizeAndWhereTheyStart) {
  const MessagePackReading text = read({0xA3, 0x61, 0x62});
  EXPECT_EQ(text.result.error(), "Invalid MessagePack data. String of size 3 at position 1 is truncated.");
  EXPECT_EQ(text.position, 1u);
  EXPECT_EQ(errorOf({0xD9, 0x05, 'a'}), "Invalid MessagePack data. String of size 5 at position 2 is truncated.");
  EXPECT_EQ(errorOf({0x81, 0xA2, 'k'}), "Invalid MessagePack data. String of size 2 at position 2 is truncated.");

  const MessagePackReading bytes = read({0x91, 0xC4, 0x04, 0x01, 0x02});
  EXPECT_EQ(bytes.result.error(), "Invalid MessagePack data. Raw bytes of size 4 at position 3 are truncated.");
  EXPECT_EQ(bytes.position, 3u);
}

TEST(MessagePackReaderErrors, HugeAnnouncedLengthsFailBeforeAnythingIsAllocated) {
  // A 4 GiB string, raw bytes and key in a few bytes: under AddressSanitizer
  // an attempt to allocate them would stop the test.
  EXPECT_EQ(errorOf({0xDB, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}),
            "Invalid MessagePack data. String of size 4294967295 at position 5 is truncated.");
  EXPECT_EQ(errorOf({0xC6, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}),
            "Invalid MessagePack data. Raw bytes of size 4294967295 at position 5 are truncated.");
  EXPECT_EQ(errorOf({0x81, 0xDB, 0xFF, 0xFF, 0xFF, 0xF0, 'k'}),
            "Invalid MessagePack data. String of size 4294967280 at position 6 is truncated.");
  // Counts size a container ahead only up to what the bytes left can hold.
  EXPECT_EQ(errorOf({0xDD, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}),
            "Invalid MessagePack data. Array of size 4294967295 at position 5 is truncated.");
  EXPECT_EQ(errorOf({0xDF, 0xFF, 0xFF, 0xFF, 0xFF, 0xA0, 0x01}),
            "Invalid MessagePack data. Map of size 4294967295 at position 5 is truncated.");
}

TEST(MessagePackReaderErrors, NestedHugeCountsReserveAtMostSixteenBytesAnInputByte) {
  // Every level announces 2^32 - 1 items. Sized ahead from all the bytes
  // left, each level reserved room for the same bytes again (10 MB here).
  const Bytes arrays = repeated(maxNestingDepth, {0xDD, 0xFF, 0xFF, 0xFF, 0xFF});
  const Bytes maps = repeated(maxNestingDepth, {0xDF, 0xFF, 0xFF, 0xFF, 0xFF, 0xA0});  // and a first key
  const Bytes both = repeated(maxNestingDepth / 2, {0xDD, 0xFF, 0xFF, 0xFF, 0xFF, 0xDF, 0xFF, 0xFF, 0xFF, 0xFF, 0xA0});
  const auto truncated = [](const char* kind, std::size_t position) {
    return std::string("Invalid MessagePack data. ") + kind + " of size 4294967295 at position " +
           std::to_string(position) + " is truncated.";
  };
  // A map's items start at its first key, here the last byte.
  const std::pair<const Bytes*, std::string> cases[] = {{&arrays, truncated("Array", arrays.size())},
                                                        {&maps, truncated("Map", maps.size() - 1)},
                                                        {&both, truncated("Map", both.size() - 1)}};
  for (const auto& [input, expected] : cases) {
    MemoryStatistics before, after;
    readMemoryStatistics(before);
    EXPECT_EQ(errorOf(*input), expected);
    readMemoryStatistics(after);
    // Room of 16 bytes an input byte at most, and the heap blocks' links.
    EXPECT_LE(after.bytesAllocated - before.bytesAllocated, 16 * input->size() + 64) << expected;
  }
}

TEST(MessagePackReaderErrors, InputEndingInsideAContainerFailsNamingTheInnermostOne) {
  EXPECT_EQ(errorOf({0x92, 0x01}), "Invalid MessagePack data. Array of size 2 at position 1 is truncated.");
  EXPECT_EQ(errorOf({0x91}), "Invalid MessagePack data. Array of size 1 at position 1 is truncated.");
  EXPECT_EQ(errorOf({0xDC, 0x00, 0x03, 0x01}), "Invalid MessagePack data. Array of size 3 at position 3 is truncated.");
  EXPECT_EQ(errorOf({0x81}), "Invalid MessagePack data. Map of size 1 at position 1 is truncated.");
  // A key without its value.
  EXPECT_EQ(errorOf({0x82, 0xA1, 'a', 0x01, 0xA1, 'b'}),
            "Invalid MessagePack data. Map of size 2 at position 1 is truncated.");
  EXPECT_EQ(errorOf({0x92, 0x93, 0x01, 0x02, 0x03, 0x81, 0xA1, 'k', 0x91}),
            "Invalid MessagePack data. Array of size 1 at position 9 is truncated.");
  const MessagePackReading reading = read({0x92, 0x01, 0x91});
  EXPECT_EQ(reading.position, 3u);
}

TEST(MessagePackReaderErrors, AFailedResultHoldsOnlyTheMessage) {
  const MessagePackReading reading = read({0x82, 0xA1, 'a', 0x92, 0x01, 0x02, 0xA1, 'b', 0xC1});
  EXPECT_FALSE(reading.result.ok());
  const Value& value = reading.result.value();
  EXPECT_EQ(value.kind(), ValueKind::Structure);
  EXPECT_EQ(value.size(), 1u);
  EXPECT_EQ(value.member("error").getString(), "Invalid MessagePack data at position 9.");
}

// A document holding every type class, each scalar inside a container.
Bytes everyClass() {
  return concat({
      {0xDE, 0x00, 0x03},  // map 16 of three pairs
      {0xA1, 'a'},
      {0xDC, 0x00, 0x0C},  // array 16 of twelve items
      {0x05, 0xE0, 0xC0, 0xC2, 0xC3},
      {0xCC, 0x01, 0xCD, 0x01, 0x02, 0xCE, 0, 1, 0, 0, 0xCF, 0, 0, 0, 0, 0, 0, 1, 0},
      {0xD0, 0xFE, 0xD1, 0xFF, 0xFE},
      {0x92, 0xD2, 0xFF, 0xFF, 0xFF, 0xFD, 0xD3, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFC},
      {0xD9, 0x02, 'b', 'c'},
      {0xDD, 0x00, 0x00, 0x00, 0x04},  // array 32 of four items
      {0xCA, 0x3F, 0xC0, 0x00, 0x00, 0xCB, 0xC0, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
      {0xC4, 0x01, 0x61, 0xC5, 0x00, 0x01, 0x62},
      {0xDA, 0x00, 0x01, 'c'},
      {0xDF, 0x00, 0x00, 0x00, 0x02},  // map 32 of two pairs
      {0xDB, 0x00, 0x00, 0x00, 0x01, 'd', 0xC6, 0x00, 0x00, 0x00, 0x01, 0x63},
      {0xA1, 'e', 0x81, 0xA1, 'f', 0xA3, 'x', 'y', 'z'},
  });
}

TEST(MessagePackReaderTruncation, EveryTypeClassReadsInOneDocument) {
  EXPECT_EQ(readTyped(everyClass()),
            "{\"a\":[i:5,i:-32,null,false,true,u:1,u:258,u:65536,u:256,i:-2,i:-2,[i:-3,i:-4]],"
            "\"bc\":[f:1.5,f:-2.5,b:YQ==,b:Yg==],"
            "\"c\":{\"d\":b:Yw==,\"e\":{\"f\":\"xyz\"}}}");
}

TEST(MessagePackReaderTruncation, EveryCutOfADocumentFailsCleanly) {
  const std::vector<Bytes> documents = {
      everyClass(),
      {0x82, 0xA1, 'a', 0x92, 0x01, 0x02, 0xA1, 'b', 0x91, 0x80},
      {0x93, 0xDB, 0x00, 0x00, 0x00, 0x02, 'h', 'i', 0x91, 0x91, 0x91, 0xC0, 0xC6, 0x00, 0x00, 0x00, 0x01, 0xFF},
  };
  for (const Bytes& document : documents) {
    for (std::size_t length = 1; length < document.size(); ++length) {
      const MessagePackReading reading = parseMessagePack(document.data(), length);
      EXPECT_FALSE(reading.result.ok()) << "cut at " << length;
      EXPECT_EQ(reading.result.error().substr(0, 24), "Invalid MessagePack data") << "cut at " << length;
      EXPECT_LE(reading.position, length) << "cut at " << length;
    }
    EXPECT_TRUE(read(document).result.ok());
  }
}

TEST(MessagePackReaderCorpora, BenchmarkDocumentsReadAsTheirJsonOriginals) {
  // The same documents in both formats; canada.json is left out because the
  // JSON tokenizer's default number precision rounds some of its floats
  // differently. Kinds differ (integers 0 to 127 are fixint, hence signed), so
  // the values are compared as plain JSON.
  for (const char* name : {"citm_catalog", "twitter"}) {
    const auto load = [](const std::string& path) {
      std::string content;
      if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        std::size_t count;
        while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, count);
        std::fclose(file);
      }
      return content;
    };
    const std::string packed = load(std::string(QCP_SHARED_DIR) + "/bench-data/msgpack/" + name + ".msgpack");
    const std::string json = load(std::string(QCP_SHARED_DIR) + "/bench-data/json/" + name + ".json");
    ASSERT_FALSE(packed.empty()) << name;
    ASSERT_FALSE(json.empty()) << name;
    const MessagePackReading reading = parseMessagePack(packed.data(), packed.size());
    ASSERT_TRUE(reading.result.ok()) << name << ": " << reading.result.error();
    EXPECT_EQ(reading.position, packed.size()) << name;
    const ValueResult fromJson = parseJson(json.c_str());
    ASSERT_TRUE(fromJson.ok()) << name;
    EXPECT_EQ(valueToText(reading.result.value(), ValueTextStyle::Json), valueToText(fromJson.value(), ValueTextStyle::Json))
        << name;
  }
}

const std::string tooDeepSuffix = ". The data is nested deeper than " + std::to_string(maxNestingDepth) + " levels.";

TEST(MessagePackReaderNesting, DocumentsUpToTheLimitAreRead) {
  const Bytes arrays = concat({repeated(maxNestingDepth - 1, {0x91}), {0x90}});
  const MessagePackReading reading = read(arrays);
  ASSERT_TRUE(reading.result.ok()) << reading.result.error();
  const Value* innermost = &reading.result.value();
  for (std::size_t level = 1; level < maxNestingDepth; ++level) innermost = &innermost->element(0);
  EXPECT_EQ(innermost->kind(), ValueKind::Collection);
  EXPECT_EQ(innermost->size(), 0u);

  EXPECT_TRUE(read(concat({repeated(maxNestingDepth, {0x81, 0xA1, 'k'}), {0x01}})).result.ok());
}

TEST(MessagePackReaderNesting, OneLevelMoreFailsJustAfterTheTypeByteThatOpensIt) {
  // Empty containers count as a level too.
  EXPECT_EQ(errorOf(concat({repeated(maxNestingDepth, {0x91}), {0x90}})),
            "Invalid MessagePack data at position " + std::to_string(maxNestingDepth + 1) + tooDeepSuffix);
  EXPECT_EQ(errorOf(concat({repeated(maxNestingDepth, {0x81, 0xA0}), {0x80}})),
            "Invalid MessagePack data at position " + std::to_string(2 * maxNestingDepth + 1) + tooDeepSuffix);
  // Wide forms are refused at their type byte, before their count.
  EXPECT_EQ(errorOf(concat({repeated(maxNestingDepth, {0xDC, 0x00, 0x01}), {0xDD}})),
            "Invalid MessagePack data at position " + std::to_string(3 * maxNestingDepth + 1) + tooDeepSuffix);
  EXPECT_EQ(errorOf(concat({repeated(maxNestingDepth, {0xDE, 0x00, 0x01, 0xA0}), {0xDF, 0, 0, 0, 0}})),
            "Invalid MessagePack data at position " + std::to_string(4 * maxNestingDepth + 1) + tooDeepSuffix);
}

TEST(MessagePackReaderNesting, HostileNestingFailsCleanlyOnASmallStack) {
  const Bytes arrays = repeated(1000000, {0x91});
  const Bytes maps = repeated(1000000, {0x81, 0xA0});
  const Bytes limitDeep = concat({repeated(maxNestingDepth / 2, {0x91, 0x81, 0xA1, 'k'}), {0xC3}});
  std::string arraysError, mapsError, limitError = "not run";
  bool limitOk = false;
  std::size_t copiedSize = 0;
  // The host's threads may have small stacks: reading, copying and freeing a
  // tree at the limit must fit well within one.
  ASSERT_TRUE(Testing::runOnSmallStack(512 * 1024, [&] {
    arraysError = std::string(read(arrays).result.error());
    mapsError = std::string(read(maps).result.error());
    const MessagePackReading reading = read(limitDeep);
    limitOk = reading.result.ok();
    limitError = std::string(reading.result.error());
    const Value copy = reading.result.value();
    copiedSize = copy.size();
  }));
  EXPECT_EQ(arraysError, "Invalid MessagePack data at position " + std::to_string(maxNestingDepth + 1) + tooDeepSuffix);
  EXPECT_EQ(mapsError, "Invalid MessagePack data at position " + std::to_string(2 * maxNestingDepth + 1) + tooDeepSuffix);
  EXPECT_TRUE(limitOk) << limitError;
  EXPECT_EQ(copiedSize, 1u);
}

}  // namespace
}  // namespace Quor
