#include "binding/value.h"

#include <gtest/gtest.h>

#include <cstring>

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "binding/member_order_cache.h"
#include "binding/page_cache.h"
#include "binding/value_store.h"

namespace Quor {
namespace {

std::vector<std::string> memberNames(const Value& value) {
  std::vector<std::string> names;
  for (const MemberView member : value.members()) names.emplace_back(member.name);
  return names;
}

TEST(ValueReading, NewValueIsEmptyAndReadsAsEmpty) {
  const Value value;
  EXPECT_EQ(value.kind(), ValueKind::Empty);
  EXPECT_EQ(value.size(), 0u);
  EXPECT_TRUE(value.member("x").isEmpty());
  EXPECT_TRUE(value.element(0).isEmpty());
  EXPECT_TRUE(value.members().empty());
  EXPECT_TRUE(value.elements().empty());
}

TEST(ValueReading, TypedReadsNeverConvertBetweenKinds) {
  Value value;
  value.setSigned(std::int64_t{-7});
  EXPECT_EQ(value.getSigned(1), -7);
  EXPECT_EQ(value.getUnsigned(99), 99u);
  EXPECT_EQ(value.getFloat(2.5), 2.5);
  EXPECT_EQ(value.getBool(true), true);
  value.setUnsigned(std::uint64_t{18446744073709551615u});
  EXPECT_EQ(value.getUnsigned(), 18446744073709551615u);
  EXPECT_EQ(value.getSigned(3), 3);
  value.setFloat(0.25);
  EXPECT_EQ(value.getFloat(), 0.25);
  value.setBool(true);
  EXPECT_TRUE(value.getBool(false));
  EXPECT_EQ(value.getString("dflt"), "dflt");
  EXPECT_EQ(value.getEnum().number, 0);
}

TEST(ValueReading, LenientUnsignedReadAcceptsEveryNumberForm) {
  Value value;
  value.setString("0x10");
  EXPECT_EQ(value.toUnsigned(5), 16u);
  value.setString("017 and more");
  EXPECT_EQ(value.toUnsigned(5), 15u);  // base 0: leading zero is octal, text after is ignored
  value.setString("no number");
  EXPECT_EQ(value.toUnsigned(5), 0u);
  value.setBool(true);
  EXPECT_EQ(value.toUnsigned(5), 1u);
  value.setFloat(41.9);
  EXPECT_EQ(value.toUnsigned(), 41u);
  value.setSigned(-1);
  EXPECT_EQ(value.toUnsigned(), 0xFFFFFFFFFFFFFFFFu);
  value.setEnum(EnumValue{-2, nullptr});
  EXPECT_EQ(value.toUnsigned(), 0xFFFFFFFFFFFFFFFEu);
  value.setEmpty();
  EXPECT_EQ(value.toUnsigned(77), 77u);
  value.makeCollection();
  EXPECT_EQ(value.toUnsigned(78), 78u);
  value.setFloat(std::nan(""));
  EXPECT_EQ(value.toUnsigned(), 0u);
}

TEST(ValueReading, SizeByKind) {
  Value value;
  for (auto set : {+[](Value& v) { v.setBool(false); }, +[](Value& v) { v.setSigned(1); },
                   +[](Value& v) { v.setUnsigned(1u); }, +[](Value& v) { v.setFloat(1.0); },
                   +[](Value& v) { v.setEnum(EnumValue{3, nullptr}); }}) {
    set(value);
    EXPECT_EQ(value.size(), 1u);
  }
  value.setString("");
  EXPECT_EQ(value.kind(), ValueKind::String);
  EXPECT_EQ(value.size(), 0u);
  value.setString("four");
  EXPECT_EQ(value.size(), 4u);
  const std::uint8_t bytes[] = {1, 2, 3};
  value.setBlob(bytes, sizeof bytes);
  EXPECT_EQ(value.size(), 3u);
  ASSERT_EQ(value.getBlob().size(), 3u);
  EXPECT_EQ(value.getBlob()[2], 3);
}

TEST(ValueWriting, MembersAreVisitedInByteOrderNotInsertionOrder) {
  Value value;
  value.writeMember("b").setSigned(2);
  value.writeMember("a").setSigned(1);
  value.writeMember("B").setSigned(0);
  value.writeMember("\xC3\xA9").setSigned(3);  // bytes above 0x7F sort last
  value.writeMember("ab").setSigned(4);
  EXPECT_EQ(memberNames(value), (std::vector<std::string>{"B", "a", "ab", "b", "\xC3\xA9"}));
  EXPECT_EQ(value.size(), 5u);
  EXPECT_EQ(value.member("ab").getSigned(), 4);
  EXPECT_TRUE(value.member("c").isEmpty());
}

TEST(ValueWriting, WritingAnExistingMemberAddressesTheSameOne) {
  Value value;
  value.writeMember("key").setSigned(1);
  value.writeMember("key").setSigned(2);
  EXPECT_EQ(value.size(), 1u);
  EXPECT_EQ(value.member("key").getSigned(), 2);
}

TEST(ValueWriting, WritingElementThreeGrowsWithEmptyElements) {
  Value value;
  value.writeElement(3).setString("last");
  ASSERT_EQ(value.kind(), ValueKind::Collection);
  ASSERT_EQ(value.size(), 4u);
  for (std::size_t index = 0; index < 3; ++index) EXPECT_TRUE(value.element(index).isEmpty());
  EXPECT_EQ(value.element(3).getString(), "last");
  EXPECT_TRUE(value.element(4).isEmpty());
}

TEST(ValueWriting, WritingAMemberIntoANumberReplacesIt) {
  Value value;
  value.setSigned(5);
  value.writeMember("m").setBool(true);
  EXPECT_EQ(value.kind(), ValueKind::Structure);
  EXPECT_EQ(value.size(), 1u);
  EXPECT_TRUE(value.member("m").getBool());
}

TEST(ValueWriting, BecomingAContainerKeepsAnExistingOne) {
  Value value;
  value.appendElement().setSigned(1);
  value.makeCollection();
  EXPECT_EQ(value.size(), 1u);
  value.makeStructure();
  EXPECT_EQ(value.size(), 0u);
  value.writeMember("x");
  value.makeStructure();
  EXPECT_EQ(value.size(), 1u);
}

TEST(ValueWriting, ReserveIsLimited) {
  Value value;
  value.reserve(10);  // not a collection: nothing happens
  EXPECT_TRUE(value.isEmpty());
  value.makeCollection();
  value.reserve(1000);
  EXPECT_EQ(value.size(), 0u);
  EXPECT_THROW(value.reserve(Value::maxReserve + 1), std::length_error);
  EXPECT_EQ(value.kind(), ValueKind::Collection);
}

TEST(ValueWriting, WritingFromTextOfTheContentItReplacesIsSafe) {
  // Each write reads text of the very content it releases; under the
  // address sanitizer a read after the release stops the test.
  const std::string longText = "a text long enough to need its own entry";
  struct Case {
    const char* name;
    void (*write)(Value& value, const std::string& text);
    std::string expected;
  };
  const Case cases[] = {
      {"setString, its own text", [](Value& value, const std::string& text) {
         value.setString(text);
         value.setString(value.getString());
       }, longText},
      {"setString, part of its own text", [](Value& value, const std::string& text) {
         value.setString(text);
         value.setString(value.getString().substr(2, 4));
       }, "text"},
      {"writeMember, its own string", [](Value& value, const std::string&) {
         value.setString("user");
         value.writeMember(value.getString());
       }, "user"},
      {"writeMember, an element's string", [](Value& value, const std::string& text) {
         value.appendElement().setString(text);
         value.writeMember(value.element(0).getString());
       }, longText},
      {"appendMember, its own string", [](Value& value, const std::string&) {
         value.setString("user");
         detail::appendMember(value, value.getString());
         detail::finishMembers(value);
       }, "user"},
      {"appendMember, an element's string", [](Value& value, const std::string&) {
         value.appendElement().setString("id");
         detail::appendMember(value, value.element(0).getString());
         detail::appendMember(value, "b");
         detail::finishMembers(value);
       }, "b,id"},
  };
  for (const Case& testCase : cases) {
    Value value;
    testCase.write(value, longText);
    std::string written;
    if (value.kind() == ValueKind::String) written = value.getString();
    for (const std::string& name : memberNames(value)) written += (written.empty() ? "" : ",") + name;
    EXPECT_EQ(written, testCase.expected) << testCase.name;
  }
}

TEST(ValueWriting, StringsKeepEmbeddedZeroBytes) {
  Value value;
  value.setString(std::string("a\0b", 3));
  EXPECT_EQ(value.size(), 3u);
  EXPECT_EQ(value.getString(), std::string_view("a\0b", 3));
}

TEST(ValueInterning, EqualTextsShareOneEntryUntilTheLastGoes) {
  Value tree;
  tree.writeMember("first").setString("shared text");
  tree.writeMember("second").setString("shared text");
  const char* first = tree.member("first").getCString();
  EXPECT_EQ(first, tree.member("second").getCString());
  tree.writeMember("first").setEmpty();
  EXPECT_EQ(tree.member("second").getString(), "shared text");
  tree.writeMember("third").setString("shared text");
  EXPECT_EQ(tree.member("third").getCString(), tree.member("second").getCString());
}

TEST(ValueInterning, TextsOfEveryLengthSurviveCopiesAndReleases) {
  // Short texts are shared through the string set, long ones each have an
  // entry of their own: both must outlive their copies and the texts
  // released around them.
  for (const std::size_t length : {std::size_t{5}, ValueStore::longestSharedText, ValueStore::longestSharedText + 1,
                                   std::size_t{200}}) {
    const std::string text(length, 'x');
    Value tree;
    tree.writeMember("a").setString(text);
    tree.writeMember("b") = tree.member("a");
    Value copy(tree);
    tree.writeMember("a").setEmpty();
    EXPECT_EQ(tree.member("b").getString(), text) << length;
    tree.writeMember("b").setString(text + "y");
    EXPECT_EQ(copy.member("a").getString(), text) << length;
    EXPECT_EQ(copy.member("b").getString(), text) << length;
    EXPECT_EQ(tree.member("b").getString(), text + "y") << length;
  }
}

TEST(ValueInterning, EmptyStringsAreNeverInterned) {
  Value a;
  Value b;
  a.setString("");
  b.setString(std::string());
  EXPECT_EQ(a.getCString(), b.getCString());
  EXPECT_EQ(a.getCString(), ValueStore::emptyString()->text());
}

TEST(ValueEnum, KeepsNumberAndTypeHash) {
  static const std::uint32_t typeHash = 0x12345678u;
  Value value;
  value.setEnum(EnumValue{7, &typeHash});
  EXPECT_EQ(value.getEnum().number, 7);
  EXPECT_EQ(value.getEnum().hashCode(), 0x12345678u);
  const Value copy(value);
  EXPECT_EQ(copy.getEnum(), value.getEnum());
}

Value sampleTree() {
  Value tree;
  tree.writeMember("name").setString("client");
  tree.writeMember("count").setUnsigned(3u);
  Value& list = tree.writeMember("list");
  list.appendElement().setSigned(-1);
  list.appendElement().setFloat(1.5);
  list.appendElement().writeMember("deep").setString("client");
  const std::uint8_t bytes[] = {0, 255};
  tree.writeMember("blob").setBlob(bytes, 2);
  return tree;
}

void expectSampleTree(const Value& tree) {
  EXPECT_EQ(memberNames(tree), (std::vector<std::string>{"blob", "count", "list", "name"}));
  EXPECT_EQ(tree.member("name").getString(), "client");
  EXPECT_EQ(tree.member("count").getUnsigned(), 3u);
  EXPECT_EQ(tree.member("list").size(), 3u);
  EXPECT_EQ(tree.member("list").element(0).getSigned(), -1);
  EXPECT_EQ(tree.member("list").element(1).getFloat(), 1.5);
  EXPECT_EQ(tree.member("list").element(2).member("deep").getString(), "client");
  EXPECT_EQ(tree.member("blob").getBlob()[1], 255);
}

TEST(ValueCopy, DeepCopyIsIndependentOfTheSource) {
  Value source = sampleTree();
  Value copy(source);
  expectSampleTree(copy);
  source.writeMember("list").writeElement(0).setString("changed");
  source.writeMember("name").setEmpty();
  expectSampleTree(copy);
  Value assigned;
  assigned.setSigned(1);
  assigned = copy;
  expectSampleTree(assigned);
}

TEST(ValueCopy, AssigningAPartOfTheSameTreeToItsRootKeepsThePart) {
  Value tree = sampleTree();
  tree = tree.member("list");
  ASSERT_EQ(tree.kind(), ValueKind::Collection);
  EXPECT_EQ(tree.size(), 3u);
  EXPECT_EQ(tree.element(2).member("deep").getString(), "client");
  Value& inner = tree.writeElement(2);
  inner = tree;  // a container copied into its own element
  EXPECT_EQ(tree.element(2).size(), 3u);
  EXPECT_EQ(tree.element(2).element(2).member("deep").getString(), "client");
}

TEST(ValueMove, MovingARootSwapsWithoutCopying) {
  Value source = sampleTree();
  const char* name = source.member("name").getCString();
  Value target;
  target.setString("old");
  target = std::move(source);
  expectSampleTree(target);
  EXPECT_EQ(target.member("name").getCString(), name);  // same storage, not a copy
  EXPECT_TRUE(source.isEmpty());
}

TEST(ValueMove, MovingAnElementIntoAnotherRootCopiesAndEmptiesIt) {
  Value source = sampleTree();
  Value target;
  target = std::move(source.writeMember("list").writeElement(2));
  EXPECT_EQ(target.member("deep").getString(), "client");
  EXPECT_TRUE(source.member("list").element(2).isEmpty());
  EXPECT_EQ(source.member("list").size(), 3u);
  Value constructed(std::move(source.writeMember("name")));
  EXPECT_EQ(constructed.getString(), "client");
  EXPECT_TRUE(source.member("name").isEmpty());
}

TEST(ValueMove, SwapExchangesTwoRoots) {
  Value a = sampleTree();
  Value b;
  b.setSigned(9);
  a.swap(b);
  EXPECT_EQ(a.getSigned(), 9);
  expectSampleTree(b);
}

// A compact text of a tree: strings quoted, numbers as written, members in
// name order.
std::string render(const Value& value) {
  switch (value.kind()) {
    case ValueKind::String:
      return "'" + std::string(value.getString()) + "'";
    case ValueKind::Signed:
      return std::to_string(value.getSigned());
    case ValueKind::Unsigned:
      return std::to_string(value.getUnsigned());
    case ValueKind::Float:
      return std::to_string(value.getFloat());
    case ValueKind::Blob:
      return "blob";
    case ValueKind::Collection: {
      std::string text = "[";
      for (const Value& element : value.elements()) text += render(element) + ",";
      return text + "]";
    }
    case ValueKind::Structure: {
      std::string text = "{";
      for (const MemberView member : value.members()) text += std::string(member.name) + ":" + render(member.value) + ",";
      return text + "}";
    }
    default:
      return "-";
  }
}

// A value moved or swapped with one inside its own tree: the outer one takes
// the inner one's content, and the inner one goes with the outer's old content.
TEST(ValueMove, MovesAndSwapsWithinOneTreeKeepTheMovedContent) {
  struct Case {
    const char* what;
    void (*act)(Value& tree);
    const char* expected;
  };
  const Case cases[] = {
      {"root takes a list member", [](Value& tree) { tree = std::move(tree.writeMember("list")); },
       "[-1,1.500000,{deep:'client',},]"},
      {"root takes a string member", [](Value& tree) { tree = std::move(tree.writeMember("name")); }, "'client'"},
      {"member takes its own element",
       [](Value& tree) {
         Value& list = tree.writeMember("list");
         list = std::move(list.writeElement(2));
       },
       "{blob:blob,count:3,list:{deep:'client',},name:'client',}"},
      {"member takes a sibling", [](Value& tree) { tree.writeMember("count") = std::move(tree.writeMember("name")); },
       "{blob:blob,count:'client',list:[-1,1.500000,{deep:'client',},],name:-,}"},
      {"root swapped with a member", [](Value& tree) { tree.swap(tree.writeMember("list")); },
       "[-1,1.500000,{deep:'client',},]"},
      {"member swapped with the root", [](Value& tree) { tree.writeMember("list").swap(tree); },
       "[-1,1.500000,{deep:'client',},]"},
  };
  for (const Case& c : cases) {
    Value tree = sampleTree();
    c.act(tree);
    EXPECT_EQ(render(tree), c.expected) << c.what;
  }
}

TEST(ValueCopy, CopiesWithinOneTreeIntoEmptyPlacesInsideOrOutsideTheSource) {
  Value tree = sampleTree();
  tree.writeMember("copy") = tree.member("list");
  Value& list = tree.writeMember("list");
  list.appendElement() = tree.member("list");
  EXPECT_EQ(render(tree.member("copy")), "[-1,1.500000,{deep:'client',},]");
  EXPECT_EQ(render(tree.member("list")), "[-1,1.500000,{deep:'client',},[-1,1.500000,{deep:'client',},-,],]");
}

// Large structures built in any order: members stay in name order, each name
// once, and a member keeps its place while others are added.
TEST(ValueWriting, MembersWrittenInAnyOrderStayInNameOrder) {
  constexpr int count = 5000;
  const std::vector<int (*)(int)> orders = {
      [](int index) { return index; },
      [](int index) { return count - 1 - index; },
      [](int index) { return (index * 7919) % count; },
  };
  for (const auto order : orders) {
    Value structure;
    Value& firstWritten = structure.writeMember("m" + std::to_string(order(0)));
    for (int step = 0; step < count; ++step) structure.writeMember("m" + std::to_string(order(step))).setSigned(order(step));
    for (int step = 0; step < count; step += 2) structure.writeMember("m" + std::to_string(order(step))).setSigned(-1);
    EXPECT_EQ(&structure.writeMember("m" + std::to_string(order(0))), &firstWritten);
    ASSERT_EQ(structure.size(), std::size_t{count});
    std::vector<std::string> expected;
    for (int index = 0; index < count; ++index) expected.push_back("m" + std::to_string(index));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(memberNames(structure), expected);
    for (int step = 0; step < count; ++step) {
      EXPECT_EQ(structure.member("m" + std::to_string(order(step))).getSigned(), step % 2 == 0 ? -1 : order(step));
    }
    EXPECT_FALSE(structure.hasMember("m" + std::to_string(count)));
  }
}

TEST(ValueResultTest, FailureCarriesExactlyTheMessage) {
  ValueResult result;
  EXPECT_TRUE(result.ok());
  EXPECT_EQ(result.error(), "");
  result.value().setSigned(4);
  result.fail("Something went wrong.");
  EXPECT_FALSE(result.ok());
  EXPECT_EQ(result.error(), "Something went wrong.");
  ASSERT_EQ(result.value().kind(), ValueKind::Structure);
  EXPECT_EQ(memberNames(result.value()), std::vector<std::string>{"error"});

  ValueResult moved = std::move(result);
  EXPECT_FALSE(moved.ok());
  EXPECT_EQ(moved.error(), "Something went wrong.");
  EXPECT_EQ(ValueResult::failure("x").error(), "x");
}

TEST(ValueResultTest, FailingWithItsOwnMessageKeepsTheMessage) {
  ValueResult result = ValueResult::failure("first failure");
  result.fail(result.error());
  EXPECT_EQ(result.error(), "first failure");
}

TEST(ValueResultTest, ErrorTextIsEmptyWhenTheErrorMemberIsNotAString) {
  ValueResult result = ValueResult::failure("x");
  result.value().writeMember("error").setSigned(1);
  EXPECT_EQ(result.error(), "");
}

TEST(ValueStoreTest, BlocksReturnAndPagesGoBackToTheCache) {
  releaseEmptyPageChunks();
  const PageCacheStatistics before = pageCacheStatistics();
  {
    Value tree;
    for (int index = 0; index < 20000; ++index) {
      Value& element = tree.appendElement();
      element.writeMember("id").setSigned(index);
      element.writeMember("text").setString("text " + std::to_string(index % 100));
    }
    EXPECT_EQ(tree.size(), 20000u);
    EXPECT_EQ(tree.element(19999).member("id").getSigned(), 19999);
    tree.writeElement(5).setEmpty();
    EXPECT_EQ(tree.element(6).member("text").getString(), "text 6");
  }
  const PageCacheStatistics after = pageCacheStatistics();
  EXPECT_EQ(after.pagesInUse, before.pagesInUse);
  // A few empty chunks stay for the next tree, until they are released.
  EXPECT_GT(after.chunks, before.chunks);
  EXPECT_LE(after.chunks, before.chunks + maxEmptyChunks);
  releaseEmptyPageChunks();
  EXPECT_EQ(pageCacheStatistics().chunks, before.chunks);
}

TEST(ValueStoreTest, CutPagesGoBackWithTheirLastAllocation) {
  // Allocations of 73 to 1024 bytes are cut from shared pages: whatever the
  // order they are freed in, the store ends holding at most the page it cuts
  // from, and the bytes of live ones stay intact.
  const std::vector<std::vector<int>> freeOrders = {{0, 1, 2, 3, 4, 5, 6, 7}, {7, 6, 5, 4, 3, 2, 1, 0}, {1, 3, 5, 7, 0, 2, 4, 6}};
  for (const std::vector<int>& order : freeOrders) {
    ValueStore store;
    const std::size_t baseline = pageCacheStatistics().pagesInUse;
    std::vector<std::pair<unsigned char*, std::size_t>> blocks;
    for (int round = 0; round < 8; ++round) {
      for (const std::size_t bytes : {std::size_t{73}, std::size_t{500}, std::size_t{1024}, std::size_t{200}}) {
        auto* memory = static_cast<unsigned char*>(store.allocate(bytes));
        std::memset(memory, round, bytes);
        blocks.emplace_back(memory, bytes);
      }
    }
    EXPECT_GE(pageCacheStatistics().pagesInUse, baseline + 4);
    for (const int round : order) {
      for (std::size_t index = 4 * std::size_t(round); index < 4 * std::size_t(round) + 4; ++index) {
        for (std::size_t byte = 0; byte < blocks[index].second; ++byte) ASSERT_EQ(blocks[index].first[byte], round);
        store.free(blocks[index].first, blocks[index].second);
      }
    }
    EXPECT_LE(pageCacheStatistics().pagesInUse, baseline + 1);
  }
}

TEST(ValueStoreTest, FreedBlocksAreReusedAndStringsLeaveTheSet) {
  ValueStore store;
  void* first = store.allocateBlock(10);
  void* second = store.allocateBlock(12);
  EXPECT_NE(first, second);
  EXPECT_EQ(store.liveBlocks(), 2u);
  store.freeBlock(first);
  EXPECT_EQ(store.liveBlocks(), 1u);
  void* again = store.allocateBlock(9);
  store.freeBlock(again);
  store.freeBlock(second);
  EXPECT_EQ(store.liveBlocks(), 0u);

  InternedString* a = store.intern("alpha");
  InternedString* b = store.intern("alpha");
  EXPECT_EQ(a, b);
  EXPECT_EQ(a->references, 2u);
  for (int index = 0; index < 100; ++index) store.intern("s" + std::to_string(index));
  EXPECT_EQ(store.internedCount(), 101u);
  EXPECT_EQ(store.intern("alpha"), a);
  store.release(a);
  store.release(a);
  store.release(a);
  EXPECT_EQ(store.internedCount(), 100u);
  for (int index = 0; index < 100; ++index) store.release(store.intern("s" + std::to_string(index)));
  EXPECT_EQ(store.internedCount(), 100u);
}

TEST(ValueStoreTest, AnItemArrayRightAfterAHeaderWithoutRoomIsFreedWithIt) {
  // A container made without room has a 16-byte header block; an array of
  // one element may take the block right after it, where items kept in a
  // header's block would start. Here it takes the block the first header
  // gave back, which lies right after the second's.
  Value tree;
  detail::makeCollectionWithRoom(tree, 2);
  Value& first = tree.appendElement();
  Value& second = tree.appendElement();
  detail::makeCollectionWithRoom(first, 0);
  detail::makeCollectionWithRoom(second, 0);
  first.setEmpty();
  second.reserve(1);
  second.appendElement().setSigned(7);
  EXPECT_EQ(detail::liveStoreBlocks(tree), 3u);
  second.setEmpty();
  EXPECT_EQ(detail::liveStoreBlocks(tree), 1u);  // the root's header
}

TEST(ValueStoreTest, TextsDifferingInAnyOneByteAreDifferentEntries) {
  // The hash and the comparison read texts a word at a time with the last
  // word overlapping, and texts under four bytes as one word: every byte of
  // every length must still count.
  ValueStore store;
  for (std::size_t size = 1; size <= 13; ++size) {
    const std::string base(size, 'a');
    InternedString* baseEntry = store.intern(base);
    for (std::size_t position = 0; position < size; ++position) {
      std::string changed = base;
      changed[position] = 'b';
      EXPECT_FALSE(sameText(base.data(), changed.data(), size)) << size << " at " << position;
      EXPECT_NE(internHash(base), internHash(changed)) << size << " at " << position;
      EXPECT_NE(store.intern(changed), baseEntry) << size << " at " << position;
    }
    EXPECT_EQ(store.intern(std::string(size, 'a')), baseEntry);
  }
}

TEST(ValueStoreTest, EveryBlockSizeServesManyBlocks) {
  ValueStore store;
  std::vector<std::pair<void*, std::size_t>> blocks;
  for (std::size_t size = 1; size <= ValueStore::largestBlock; ++size) {
    for (int count = 0; count < 300; ++count) {
      auto* block = static_cast<unsigned char*>(store.allocateBlock(size));
      std::fill(block, block + size, static_cast<unsigned char>(size));
      blocks.emplace_back(block, size);
    }
  }
  for (const auto& [block, size] : blocks) {
    const auto* bytes = static_cast<unsigned char*>(block);
    for (std::size_t index = 0; index < size; ++index) ASSERT_EQ(bytes[index], size);
  }
  for (const auto& block : blocks) store.freeBlock(block.first);
  EXPECT_EQ(store.liveBlocks(), 0u);
}

// Gathered items as a reader's scratch holds them: values of the tree's
// store, each named when it is a member.
struct GatheredItems {
  explicit GatheredItems(Value& root) : store(detail::storeOf(root)) {}
  ~GatheredItems() {
    for (std::size_t index = 0; index < count; ++index) std::destroy_at(&items()[index]);
    for (std::size_t index = 0; index < names.size(); ++index) detail::releaseItemName(store, names[index]);
  }
  // A member when named (the empty name included), else an element.
  Value& add(const char* name = nullptr) {
    if (name != nullptr) names.push_back(detail::internItemName(store, name));
    return *detail::placeItem(&items()[count++], store);
  }
  // Handed over to the container: nothing left to release here.
  void handOver() {
    count = 0;
    names.clear();
  }
  Value* items() { return reinterpret_cast<Value*>(bytes); }
  ValueStore* store;
  alignas(8) unsigned char bytes[64 * sizeof(Value)];
  std::size_t count = 0;
  std::vector<detail::ItemName> names;
};

TEST(ValueBuiltInOneStep, CollectionsKeepTheirItemsInOrder) {
  for (std::size_t count : {0, 1, 3, 4, 40}) {
    Value tree;
    Value& list = tree.writeMember("list");
    const std::size_t before = detail::liveStoreBlocks(tree);
    {
      GatheredItems gathered(tree);
      for (std::size_t index = 0; index < count; ++index) gathered.add().setString("item " + std::to_string(index));
      detail::makeCollectionOf(list, gathered.items(), count);
      gathered.handOver();
    }
    ASSERT_EQ(list.size(), count);
    for (std::size_t index = 0; index < count; ++index) EXPECT_EQ(list.element(index).getString(), "item " + std::to_string(index));
    list.appendElement().setSigned(std::int64_t{7});
    EXPECT_EQ(list.element(count).getSigned(), 7);
    list.setEmpty();
    EXPECT_EQ(detail::liveStoreBlocks(tree), before) << count;
    EXPECT_EQ(tree.member("list").kind(), ValueKind::Empty);
  }
}

TEST(ValueBuiltInOneStep, StructuresAreInNameOrderAndARepeatedNameKeepsItsLastValue) {
  struct Case {
    std::vector<std::string> arrival;
    std::string expected;  // name=value in iteration order
  };
  const Case cases[] = {
      {{"b", "a"}, "a=1,b=0"},
      {{"a", "a"}, "a=1"},
      {{"c", "b", "a", "b", "c", "c"}, "a=2,b=3,c=5"},
      {{"x", "", "xa", "x"}, "=1,x=3,xa=2"},
  };
  for (const Case& testCase : cases) {
    Value tree;
    tree.makeCollection();
    Value& structure = tree.appendElement();
    const std::size_t blocksBefore = detail::liveStoreBlocks(tree);
    {
      GatheredItems gathered(tree);
      for (std::size_t index = 0; index < testCase.arrival.size(); ++index) {
        // Each value holds storage, so a dropped one must be released.
        Value& value = gathered.add(testCase.arrival[index].c_str());
        value.makeCollection();
        value.appendElement().setSigned(static_cast<std::int64_t>(index));
      }
      detail::makeStructureOf(structure, gathered.items(), gathered.names.data(), gathered.count);
      gathered.handOver();
    }
    std::string written;
    for (const MemberView member : structure.members()) {
      written += (written.empty() ? "" : ",") + std::string(member.name) + "=" +
                 std::to_string(member.value.element(0).getSigned());
    }
    EXPECT_EQ(written, testCase.expected);
    for (const MemberView member : structure.members()) EXPECT_EQ(&structure.member(member.name), &member.value);
    structure.setEmpty();
    EXPECT_EQ(detail::liveStoreBlocks(tree), blocksBefore) << testCase.expected;
    EXPECT_EQ(detail::storeOf(tree)->internedCount(), 0u) << testCase.expected;
  }
}

TEST(ValueBuiltInOneStep, MembersStayInPlaceWhileMoreAreWritten) {
  for (const bool repeatedShape : {false, true}) {
    Value tree;
    detail::MemberOrderCache orders;
    Value* structure = nullptr;
    // A shape met again is ordered from the cache, not sorted.
    for (int round = 0; round < (repeatedShape ? 3 : 1); ++round) {
      structure = &tree.appendElement();
      GatheredItems gathered(tree);
      for (const char* name : {"delta", "alpha", "charlie", "bravo", "echo"}) gathered.add(name).setString(name);
      detail::makeStructureOf(*structure, gathered.items(), gathered.names.data(), gathered.count, &orders);
      gathered.handOver();
    }
    std::vector<const Value*> addresses;
    for (const MemberView member : structure->members()) addresses.push_back(&member.value);
    Value& first = structure->writeMember("bravo");
    for (int index = 0; index < 200; ++index) structure->writeMember("m" + std::to_string(index)).setSigned(index);
    EXPECT_EQ(&structure->writeMember("bravo"), &first);
    std::size_t index = 0;
    for (const char* name : {"alpha", "bravo", "charlie", "delta", "echo"}) {
      EXPECT_EQ(&structure->member(name), addresses[index++]) << name;
      EXPECT_EQ(structure->member(name).getString(), name);
    }
    EXPECT_EQ(structure->size(), 205u);
    EXPECT_EQ(memberNames(*structure).front(), "alpha");
    const Value copy(*structure);
    EXPECT_EQ(memberNames(copy), memberNames(*structure));
  }
}

TEST(ValueBuiltInOneStep, MembersAppendedWithRoomTakeTheirValuesFromOneBlock) {
  Value tree;
  tree.makeCollection();
  Value& structure = tree.appendElement();
  const std::size_t blocksBefore = detail::liveStoreBlocks(tree);
  detail::makeStructureWithRoom(structure, detail::membersInHeaderBlock + 1);
  for (const char* name : {"f", "e", "d", "b"}) detail::appendMember(structure, name).setString(name);
  detail::appendMember(structure, "a").setString("a");
  detail::appendMember(structure, "b").setString("last b");
  detail::appendMember(structure, "c").setString("c, beyond the room");
  detail::finishMembers(structure);
  EXPECT_EQ(memberNames(structure), (std::vector<std::string>{"a", "b", "c", "d", "e", "f"}));
  EXPECT_EQ(structure.member("b").getString(), "last b");
  EXPECT_EQ(structure.member("c").getString(), "c, beyond the room");
  structure.setEmpty();
  EXPECT_EQ(detail::liveStoreBlocks(tree), blocksBefore);
}

TEST(ValueBuiltInOneStep, CopiesOfStructuresKeepNameOrderWhereverTheyGo) {
  // Sources of every layout: written in scrambled order (two runs), built
  // in one step, appended and finished.
  const auto scrambled = [](Value& value) {
    for (int index = 0; index < 300; ++index) value.writeMember("m" + std::to_string((index * 7919) % 300)).setSigned(index);
  };
  const auto oneStep = [](Value& value) {
    GatheredItems gathered(value);
    for (const char* name : {"c", "a", "b"}) gathered.add(name).setString(std::string(name) + " text");
    value.setEmpty();
    detail::makeStructureOf(value, gathered.items(), gathered.names.data(), gathered.count);
    gathered.handOver();
  };
  const auto appended = [](Value& value) {
    detail::makeStructureWithRoom(value, 6);
    for (const char* name : {"y", "x", "y", "z"}) detail::appendMember(value, name).makeCollection();
    detail::finishMembers(value);
  };
  for (void (*build)(Value&) : {+scrambled, +oneStep, +appended}) {
    Value source;
    build(source);
    Value elsewhere(source);
    Value tree;
    tree.writeMember("source") = source;
    tree.writeMember("copy") = tree.member("source");
    for (const Value* copy : {static_cast<const Value*>(&elsewhere), &tree.member("source"), &tree.member("copy")}) {
      EXPECT_EQ(memberNames(*copy), memberNames(source));
      auto from = source.members().begin();
      for (const MemberView member : copy->members()) {
        EXPECT_EQ(&copy->member(member.name), &member.value);
        EXPECT_EQ(member.value.kind(), (*from).value.kind());
        EXPECT_EQ(member.value.getSigned(), (*from).value.getSigned());
        EXPECT_EQ(member.value.getString(), (*from).value.getString());
        ++from;
      }
    }
    const Value* first = &elsewhere.member(memberNames(source).front());
    elsewhere.writeMember("zz").setBool(true);
    elsewhere.writeMember("0").setBool(true);
    EXPECT_EQ(&elsewhere.member(memberNames(source).front()), first);
    EXPECT_EQ(elsewhere.size(), source.size() + 2);
  }
}

}  // namespace
}  // namespace Quor
