#include "binding/host_value.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "binding/library_allocator.h"
#include "tests/binding/binding_test_types.h"

namespace Quor {
namespace {

using BindingTest::memberNames;
using BindingTest::sameTree;

HostValue emptyRecord() {
  HostValue value;
  std::memset(&value, 0, sizeof value);
  return value;
}

HostErrorSink emptySink() {
  HostErrorSink sink;
  std::memset(&sink, 0, sizeof sink);
  return sink;
}

bool isAllZero(const void* record, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(record);
  for (std::size_t index = 0; index < size; ++index) {
    if (bytes[index] != 0) return false;
  }
  return true;
}

HostValue borrowedText(const char* text, std::uint32_t length) {
  HostValue value = emptyRecord();
  value.type = static_cast<std::uint32_t>(HostValueKind::BorrowedString);
  value.payload.buffer = HostValueBuffer{const_cast<char*>(text), length};
  return value;
}

HostValue signedRecord(std::int64_t number) {
  HostValue value = emptyRecord();
  value.type = static_cast<std::uint32_t>(HostValueKind::Signed);
  value.payload.signedValue = number;
  return value;
}

HostValue arrayRecord(HostValueKind kind, void* data, std::uint32_t count) {
  HostValue value = emptyRecord();
  value.type = static_cast<std::uint32_t>(kind);
  value.payload.buffer = HostValueBuffer{data, count};
  return value;
}

// A collection of count records owned by the library's functions.
HostValue* allocateRecords(std::size_t count) {
  auto* records = static_cast<HostValue*>(libraryAllocate(count * sizeof(HostValue)));
  std::memset(records, 0, count * sizeof(HostValue));
  return records;
}

// A tree of about nodeCount values: structures of collections of mixed
// scalars, three levels deep.
Value largeTree(std::size_t nodeCount) {
  Value root;
  std::size_t made = 1;
  std::size_t group = 0;
  while (made < nodeCount) {
    Value& structure = root.writeMember("group" + std::to_string(group++));
    ++made;
    for (int entry = 0; entry < 10 && made < nodeCount; ++entry) {
      Value& list = structure.writeMember("list" + std::to_string(entry));
      ++made;
      for (int item = 0; item < 8 && made < nodeCount; ++item, ++made) {
        Value& element = list.appendElement();
        switch (item % 4) {
          case 0: element.setString("text " + std::to_string(made)); break;
          case 1: element.setSigned(static_cast<std::int64_t>(made) * -3); break;
          case 2: element.setFloat(static_cast<double>(made) / 7.0); break;
          default: element.setBlob(&made, sizeof made); break;
        }
      }
    }
  }
  return root;
}

// ---- Release ---------------------------------------------------------------------

TEST(HostValueRelease, AllZeroRecordIsHarmless) {
  HostValue value = emptyRecord();
  const std::uint64_t live = libraryLiveBytes();
  releaseHostValue(value);
  EXPECT_TRUE(isAllZero(&value, sizeof value));
  EXPECT_EQ(libraryLiveBytes(), live);
}

TEST(HostValueRelease, FreesOwnedNamesAndLeavesBorrowedOnes) {
  static const char borrowedName[] = "borrowed";
  static const char borrowedText[] = "static text";
  const std::uint64_t live = libraryLiveBytes();
  auto* members = static_cast<HostStructMember*>(libraryAllocate(3 * sizeof(HostStructMember)));
  std::memset(members, 0, 3 * sizeof(HostStructMember));
  members[0].name = libraryDuplicateText("owned");
  members[0].ownsName = 1;
  members[0].value = arrayRecord(HostValueKind::OwnedString, libraryDuplicateText("owned text"), 10);
  members[1].name = borrowedName;
  members[1].ownsName = 0;
  members[1].value = arrayRecord(HostValueKind::BorrowedString, const_cast<char*>(borrowedText), 11);
  members[2].name = borrowedName;
  members[2].value = arrayRecord(HostValueKind::BorrowedBlob, const_cast<char*>(borrowedText), 4);
  HostValue structure = arrayRecord(HostValueKind::Structure, members, 3);
  EXPECT_GT(libraryLiveBytes(), live);
  // Freeing a static text would be caught by the sanitizer build.
  releaseHostValue(structure);
  EXPECT_TRUE(isAllZero(&structure, sizeof structure));
  EXPECT_EQ(libraryLiveBytes(), live);
}

TEST(HostValueRelease, VeryDeepRecordsAreReleasedWithoutRecursion) {
  const std::uint64_t live = libraryLiveBytes();
  HostValue root = emptyRecord();
  HostValue* level = &root;
  for (int depth = 0; depth < 100000; ++depth) {
    HostValue* child = allocateRecords(2);
    child[1] = arrayRecord(HostValueKind::OwnedString, libraryDuplicateText("leaf"), 4);
    *level = arrayRecord(HostValueKind::Collection, child, 2);
    level = &child[0];
  }
  releaseHostValue(root);
  EXPECT_EQ(libraryLiveBytes(), live);
}

// ---- From the core -------------------------------------------------------------------

TEST(HostValueToValue, ScalarsAndTexts) {
  HostErrorSink sink = emptySink();
  Value value;
  HostValue record = emptyRecord();
  record.type = static_cast<std::uint32_t>(HostValueKind::Bool);
  record.payload.boolean = 1;
  ASSERT_TRUE(hostValueToValue(sink, value, record, "x"));
  EXPECT_TRUE(value.getBool());
  ASSERT_TRUE(hostValueToValue(sink, value, signedRecord(-5), "x"));
  EXPECT_EQ(value.getSigned(), -5);
  record.type = static_cast<std::uint32_t>(HostValueKind::Unsigned);
  record.payload.unsignedValue = 18446744073709551615u;
  ASSERT_TRUE(hostValueToValue(sink, value, record, "x"));
  EXPECT_EQ(value.getUnsigned(), 18446744073709551615u);
  record.type = static_cast<std::uint32_t>(HostValueKind::Float);
  record.payload.floatValue = 0.25;
  ASSERT_TRUE(hostValueToValue(sink, value, record, "x"));
  EXPECT_EQ(value.getFloat(), 0.25);
  ASSERT_TRUE(hostValueToValue(sink, value, emptyRecord(), "x"));
  EXPECT_TRUE(value.isEmpty());
  EXPECT_EQ(static_cast<const char*>(sink.errorMessage), nullptr);
}

TEST(HostValueToValue, TextsAreReadToTheirTerminatorWhateverTheLength) {
  static const char text[] = "short";
  HostErrorSink sink = emptySink();
  Value value;
  ASSERT_TRUE(hostValueToValue(sink, value, borrowedText(text, 1000000), "x"));
  EXPECT_EQ(value.getString(), "short");
  ASSERT_TRUE(hostValueToValue(sink, value, borrowedText(text, 2), "x"));
  EXPECT_EQ(value.getString(), "short");
  ASSERT_TRUE(hostValueToValue(sink, value, borrowedText(nullptr, 0), "x"));
  EXPECT_EQ(value.kind(), ValueKind::String);
  EXPECT_EQ(value.getString(), "");
}

TEST(HostValueToValue, NullArraysWithoutEntriesAreAccepted) {
  HostErrorSink sink = emptySink();
  Value value;
  ASSERT_TRUE(hostValueToValue(sink, value, arrayRecord(HostValueKind::Collection, nullptr, 0), "x"));
  EXPECT_EQ(value.kind(), ValueKind::Collection);
  EXPECT_EQ(value.size(), 0u);
  ASSERT_TRUE(hostValueToValue(sink, value, arrayRecord(HostValueKind::Structure, nullptr, 0), "x"));
  EXPECT_EQ(value.kind(), ValueKind::Structure);
  ASSERT_TRUE(hostValueToValue(sink, value, arrayRecord(HostValueKind::BorrowedBlob, nullptr, 0), "x"));
  EXPECT_EQ(value.kind(), ValueKind::Blob);
  EXPECT_EQ(value.size(), 0u);
}

TEST(HostValueToValue, NullArraysWithEntriesFail) {
  HostErrorSink sink = emptySink();
  Value value;
  EXPECT_FALSE(hostValueToValue(sink, value, arrayRecord(HostValueKind::Collection, nullptr, 3), "arg"));
  EXPECT_STREQ(sink.errorMessage,
               "Couldn't assign value to 'arg' of type object because the input collection has 3 entries but no data.");
  EXPECT_FALSE(hostValueToValue(sink, value, arrayRecord(HostValueKind::OwnedBlob, nullptr, 2), "arg"));
  EXPECT_STREQ(sink.errorMessage,
               "Couldn't assign value to 'arg' of type object because the input blob has 2 entries but no data.");
  releaseHostValue(sink.body);
  libraryFree(sink.errorMessage);
}

TEST(HostValueToValue, StructureMembersAreOrderedByName) {
  HostStructMember members[3];
  std::memset(members, 0, sizeof members);
  members[0].name = "b";
  members[0].value = signedRecord(2);
  members[1].name = "a";
  members[1].value = signedRecord(1);
  members[2].name = "b";
  members[2].value = signedRecord(3);
  HostErrorSink sink = emptySink();
  Value value;
  ASSERT_TRUE(hostValueToValue(sink, value, arrayRecord(HostValueKind::Structure, members, 3), "x"));
  EXPECT_EQ(memberNames(value), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(value.member("b").getSigned(), 3);  // a later member of a name wins
}

TEST(HostValueToValue, UnknownTypeCodesFailWithTheIncompatibleTypeMessage) {
  HostValue elements[3] = {signedRecord(1), emptyRecord(), signedRecord(3)};
  elements[1].type = 11;
  const std::uint64_t live = libraryLiveBytes();
  HostErrorSink sink = emptySink();
  sink.body = arrayRecord(HostValueKind::OwnedString, libraryDuplicateText("earlier body"), 12);
  sink.errorMessage = libraryDuplicateText("earlier error");
  sink.errorMessageOwned = 1;
  Value value;
  EXPECT_FALSE(hostValueToValue(sink, value, arrayRecord(HostValueKind::Collection, elements, 3), "arg"));
  EXPECT_STREQ(sink.errorMessage,
               "Couldn't assign value to 'arg' of type object because the input is of an incompatible type ''.");
  EXPECT_EQ(std::uint8_t{sink.errorMessageOwned}, 1);
  EXPECT_TRUE(isAllZero(&sink.body, sizeof sink.body));
  libraryFree(sink.errorMessage);
  // The earlier body and error text were freed, not lost.
  EXPECT_EQ(libraryLiveBytes(), live);
}

TEST(HostValueToValue, AHugeCountReservesLittleAndFailsAtTheFirstBadElement) {
  // The count promises far more elements than memory could hold; the first
  // one already fails.
  HostValue elements[1] = {emptyRecord()};
  elements[0].type = 11;
  HostErrorSink sink = emptySink();
  Value value;
  EXPECT_FALSE(hostValueToValue(sink, value, arrayRecord(HostValueKind::Collection, elements, 0x0FFFFFFF), "arg"));
  EXPECT_STREQ(sink.errorMessage,
               "Couldn't assign value to 'arg' of type object because the input is of an incompatible type ''.");
  libraryFree(sink.errorMessage);
}

TEST(HostValueToValue, SourceInsideTheSinksOwnBodyIsReadBeforeTheSinkIsReleased) {
  const std::uint64_t live = libraryLiveBytes();
  HostValue* elements = allocateRecords(3);
  elements[0] = arrayRecord(HostValueKind::OwnedString, libraryDuplicateText("first"), 5);
  elements[1].type = 99;
  HostErrorSink sink = emptySink();
  sink.body = arrayRecord(HostValueKind::Collection, elements, 3);
  Value value;
  EXPECT_FALSE(hostValueToValue(sink, value, sink.body, "<result>"));
  EXPECT_STREQ(sink.errorMessage,
               "Couldn't assign value to '<result>' of type object because the input is of an incompatible type ''.");
  libraryFree(sink.errorMessage);
  EXPECT_EQ(libraryLiveBytes(), live);
}

TEST(HostValueToValue, KnownCodesAreNamedInTheMessageOnlyWhenUnknownAtTheirPlace) {
  EXPECT_STREQ(hostValueKindName(5), "string");
  EXPECT_STREQ(hostValueKindName(6), "string");
  EXPECT_STREQ(hostValueKindName(8), "blob");
  EXPECT_STREQ(hostValueKindName(10), "structure");
  EXPECT_STREQ(hostValueKindName(0), "");
  EXPECT_STREQ(hostValueKindName(11), "");
}

TEST(HostValueToValue, NestingBeyondTheLimitFails) {
  // 513 nested collections; the innermost holds a number.
  std::vector<HostValue> levels(514, emptyRecord());
  for (std::size_t index = 0; index < 513; ++index) {
    levels[index] = arrayRecord(HostValueKind::Collection, &levels[index + 1], 1);
  }
  levels[513] = signedRecord(1);
  HostErrorSink sink = emptySink();
  Value value;
  EXPECT_FALSE(hostValueToValue(sink, value, levels[0], "deep"));
  EXPECT_STREQ(sink.errorMessage,
               "Couldn't assign value to 'deep' of type object because the input is nested deeper than 512 levels.");
  libraryFree(sink.errorMessage);
  sink = emptySink();
  EXPECT_TRUE(hostValueToValue(sink, value, levels[1], "deep"));
}

// ---- To the core -------------------------------------------------------------------------

TEST(ValueToHostValue, ScalarsTextsAndBlobs) {
  HostValue record = emptyRecord();
  Value value;
  value.setString(std::string_view("ab\0cd", 5));
  ASSERT_TRUE(valueToHostValue(record, value, nullptr));
  EXPECT_EQ(std::uint32_t{record.type}, 6u);
  EXPECT_EQ(std::uint32_t{record.payload.buffer.count}, 2u);
  EXPECT_STREQ(static_cast<const char*>(record.payload.buffer.data), "ab");
  value.setBlob("\x00\x01\x02", 3);
  ASSERT_TRUE(valueToHostValue(record, value, nullptr));
  EXPECT_EQ(std::uint32_t{record.type}, 8u);
  EXPECT_EQ(std::uint32_t{record.payload.buffer.count}, 3u);
  EXPECT_EQ(static_cast<const unsigned char*>(record.payload.buffer.data)[2], 2);
  value.setBool(true);
  ASSERT_TRUE(valueToHostValue(record, value, nullptr));
  EXPECT_EQ(std::uint32_t{record.type}, 1u);
  EXPECT_EQ(std::uint8_t{record.payload.boolean}, 1);
  value.setFloat(-1.5);
  ASSERT_TRUE(valueToHostValue(record, value, nullptr));
  EXPECT_EQ(std::uint32_t{record.type}, 4u);
  EXPECT_EQ(double{record.payload.floatValue}, -1.5);
  releaseHostValue(record);
}

TEST(ValueToHostValue, EnumsBecomeNamesWithARegistryAndNumbersWithout) {
  TypeRegistry registry;
  BindingTest::registerPluginTypes(registry);
  Value value;
  value.setEnum(EnumValue{1, &StaticType::HashRecord<Client::PluginResourceEventType>().code});
  HostValue record = emptyRecord();
  ASSERT_TRUE(valueToHostValue(record, value, &registry));
  EXPECT_EQ(std::uint32_t{record.type}, 6u);
  EXPECT_STREQ(static_cast<const char*>(record.payload.buffer.data), "Update");
  EXPECT_EQ(std::uint32_t{record.payload.buffer.count}, 6u);
  ASSERT_TRUE(valueToHostValue(record, value, nullptr));
  EXPECT_EQ(std::uint32_t{record.type}, 2u);
  EXPECT_EQ(std::int64_t{record.payload.signedValue}, 1);
  value.setEnum(EnumValue{-9, &StaticType::HashRecord<Client::PluginResourceEventType>().code});
  ASSERT_TRUE(valueToHostValue(record, value, &registry));
  EXPECT_EQ(std::uint32_t{record.type}, 2u);
  EXPECT_EQ(std::int64_t{record.payload.signedValue}, -9);
}

TEST(ValueToHostValue, StructuresOwnTheirMemberNamesInNameOrder) {
  Value value;
  value.writeMember("b").setSigned(std::int32_t{2});
  value.writeMember("a").setString("one");
  HostValue record = emptyRecord();
  ASSERT_TRUE(valueToHostValue(record, value, nullptr));
  ASSERT_EQ(std::uint32_t{record.type}, 10u);
  ASSERT_EQ(std::uint32_t{record.payload.buffer.count}, 2u);
  const auto* members = static_cast<const HostStructMember*>(record.payload.buffer.data);
  EXPECT_STREQ(members[0].name, "a");
  EXPECT_EQ(std::uint8_t{members[0].ownsName}, 1);
  EXPECT_EQ(std::uint32_t{members[0].value.type}, 6u);
  EXPECT_STREQ(members[1].name, "b");
  EXPECT_EQ(std::int64_t{members[1].value.payload.signedValue}, 2);
  releaseHostValue(record);
}

TEST(ValueToHostValue, NestingBeyondTheLimitFailsAndKeepsThePartReleasable) {
  const std::uint64_t live = libraryLiveBytes();
  HostValue record = emptyRecord();
  std::string error;
  EXPECT_FALSE(valueToHostValue(record, BindingTest::nestedStructures(600), nullptr, &error));
  EXPECT_EQ(error, "Couldn't convert value for the core because it is nested deeper than 512 levels.");
  EXPECT_EQ(std::uint32_t{record.type}, 10u);
  releaseHostValue(record);
  EXPECT_EQ(libraryLiveBytes(), live);
  EXPECT_TRUE(valueToHostValue(record, BindingTest::nestedStructures(512), nullptr));
  releaseHostValue(record);
}

// ---- Round trips ------------------------------------------------------------------------------

TEST(HostValueRoundTrip, DeepTreesComeBackUnchanged) {
  Value deep = BindingTest::nestedStructures(511);
  Value* level = &deep;
  for (int index = 0; index < 100; ++index) level = &level->writeMember("child");
  level->writeMember("list").appendElement().setString("leaf");
  const std::uint64_t live = libraryLiveBytes();
  HostValue record = emptyRecord();
  ASSERT_TRUE(valueToHostValue(record, deep, nullptr));
  HostErrorSink sink = emptySink();
  Value back;
  ASSERT_TRUE(hostValueToValue(sink, back, record, "deep"));
  EXPECT_TRUE(sameTree(back, deep));
  releaseHostValue(record);
  EXPECT_EQ(libraryLiveBytes(), live);
}

TEST(HostValueRoundTrip, LargeTreeReleasesExactlyWhatItAllocated) {
  const Value tree = largeTree(100000);
  const MemoryStatistics before = [] {
    MemoryStatistics read;
    readMemoryStatistics(read);
    return read;
  }();
  HostValue record = emptyRecord();
  ASSERT_TRUE(valueToHostValue(record, tree, nullptr));
  EXPECT_GT(libraryLiveBytes(), before.bytesAllocated - before.bytesFreed);
  {
    // Gone before the figures are read: its long arrays are counted too.
    HostErrorSink sink = emptySink();
    Value back;
    ASSERT_TRUE(hostValueToValue(sink, back, record, "tree"));
    EXPECT_TRUE(sameTree(back, tree));
  }
  releaseHostValue(record);
  MemoryStatistics after;
  readMemoryStatistics(after);
  EXPECT_EQ(after.bytesAllocated - after.bytesFreed, before.bytesAllocated - before.bytesFreed);
  EXPECT_EQ(after.allocationCount - before.allocationCount, after.freeCount - before.freeCount);
  EXPECT_GT(after.allocationCount - before.allocationCount, 50000u);
}

}  // namespace
}  // namespace Quor
