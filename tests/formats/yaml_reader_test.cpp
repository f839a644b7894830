#include "formats/yaml_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "binding/nesting_limit.h"
#include "formats/value_text_writer.h"
#include "small_stack_thread.h"

namespace Quor {
namespace {

std::string typedText(const Value& value) { return valueToText(value, ValueTextStyle::Typed); }

std::string readTyped(const std::string& text) {
  const ValueResult result = parseYaml(text);
  EXPECT_TRUE(result.ok()) << text << ": " << result.error();
  return typedText(result.value());
}

std::string errorOf(const std::string& text) {
  const ValueResult result = parseYaml(text);
  EXPECT_FALSE(result.ok()) << text << " read as " << typedText(result.value());
  return std::string(result.error());
}

std::string repeat(std::size_t count, std::string_view part) {
  std::string all;
  all.reserve(count * part.size());
  for (std::size_t index = 0; index < count; ++index) all += part;
  return all;
}

TEST(YamlReaderDocuments, EmptyInputIsTheEmptyValue) {
  for (const char* text : {"", "---", "---\n", "# just a comment\n", "--- ~\n...\n"}) {
    const ValueResult result = parseYaml(text);
    EXPECT_TRUE(result.ok()) << text << ": " << result.error();
    EXPECT_TRUE(result.value().isEmpty()) << text;
  }
  EXPECT_TRUE(parseYaml(static_cast<const char*>(nullptr)).ok());
}

TEST(YamlReaderDocuments, ANulEndsTheTextOfTheCOverload) {
  const std::string text("a: 1\0b: 2", 9);
  EXPECT_EQ(typedText(parseYaml(text.c_str()).value()), "{\"a\":u:1}");
  // The whole text, NUL included, reaches the parser through a string view.
  // libyaml marks the errors of its input decoding at no line or column.
  EXPECT_EQ(errorOf(text), "YAML parser error: control characters are not allowed. At line: 0 col: 0");
}

TEST(YamlReaderDocuments, MappingsAndSequencesNest) {
  EXPECT_EQ(readTyped("a: 1\nb:\n  - x\n  - [2, {c: d}]\n  - {}\n  - []\ne: {f: [g]}\n"),
            "{\"a\":u:1,\"b\":[\"x\",[u:2,{\"c\":\"d\"}],{},[]],\"e\":{\"f\":[\"g\"]}}");
  EXPECT_EQ(readTyped("- - - 1\n  - 2\n- 3"), "[[[u:1],u:2],u:3]");
  EXPECT_EQ(readTyped("[a, [b, [c]], {d: {e: f}}]"), "[\"a\",[\"b\",[\"c\"]],{\"d\":{\"e\":\"f\"}}]");
  EXPECT_EQ(parseYaml("{}").value().kind(), ValueKind::Structure);
  EXPECT_EQ(parseYaml("[]").value().kind(), ValueKind::Collection);
}

TEST(YamlReaderDocuments, MembersAreVisitedInNameOrder) {
  EXPECT_EQ(readTyped("b: 1\na: 2\nB: 3\naa: 4"), "{\"B\":u:3,\"a\":u:2,\"aa\":u:4,\"b\":u:1}");
}

TEST(YamlReaderDocuments, ARepeatedKeyKeepsItsLastValueWithoutMerging) {
  EXPECT_EQ(readTyped("a: 1\na: 2"), "{\"a\":u:2}");
  EXPECT_EQ(readTyped("a: {x: 1}\na: {y: 2}"), "{\"a\":{\"y\":u:2}}");
  EXPECT_EQ(readTyped("a: [1, 2]\na: [3]"), "{\"a\":[u:3]}");
  EXPECT_EQ(readTyped("a: [1]\na:"), "{\"a\":null}");
}

TEST(YamlReaderDocuments, OnlyTheFirstNonEmptyDocumentIsAccepted) {
  EXPECT_EQ(errorOf("--- 1\n--- 2\n"), "Multi-document YAML is not supported.");
  EXPECT_EQ(errorOf("--- {}\n---\n"), "Multi-document YAML is not supported.");
  EXPECT_EQ(errorOf("a: 1\n...\n--- b\n"), "Multi-document YAML is not supported.");
  EXPECT_EQ(readTyped("---\n--- 1\n"), "u:1");
  EXPECT_EQ(readTyped("--- ~\n--- [1]\n"), "[u:1]");
}

// Documents without anchors are built container by container; any anchor
// or alias sends the document to the reader that keeps each node in place.
// Both must give the same values and the same failures.
TEST(YamlReaderDocuments, BothReadersAgreeOnDocumentsWithoutAnchors) {
  const std::string documents[] = {
      "",
      "a: 1\nb: [x, 2.5, ~, true, -0, 'q']\nc: {d: e, '': f}\n",
      "a: 1\na: [2]\na: {b: 3}\nz: [[], {}, [[]]]",
      "- !!int 12\n- !!float 1.5\n- !!str 7\n- !!bool no\n- !!str\n- |\n  text\n",
      "~\n---\nb: 2",
      "{}\n---\n{}",
      "a: 1\n---\nb: 2",
      "- !!int x",
      "- !unknown x",
      "{[a]: 1}",
      "a:\n  {b: 1}: 2",
      "? !!int 1\n: 2",
      "a: b: c",
      "[1, [2, [3",
      repeat(maxNestingDepth, "[") + repeat(maxNestingDepth, "]"),
      repeat(maxNestingDepth + 1, "- ") + "x",
  };
  for (const std::string& document : documents) {
    const ValueResult built = parseYaml(document);
    const ValueResult inPlace = detail::parseYamlInPlace(document);
    EXPECT_EQ(built.ok(), inPlace.ok()) << document;
    EXPECT_EQ(typedText(built.value()), typedText(inPlace.value())) << document;
  }
}

TEST(YamlReaderKeys, KeysAreStringScalars) {
  EXPECT_EQ(readTyped("1: a\ntrue: b\n~: c\n'q': d\n!!str 2: e\n1.5: f"),
            "{\"1\":\"a\",\"1.5\":\"f\",\"2\":\"e\",\"q\":\"d\",\"true\":\"b\",\"~\":\"c\"}");
}

TEST(YamlReaderKeys, AnEmptyKeyIsAMemberWithTheEmptyName) {
  EXPECT_EQ(readTyped("\"\": 1\nb: 2"), "{\"\":u:1,\"b\":u:2}");
  EXPECT_EQ(readTyped("'': [1]\n'': [2]\nc: 3"), "{\"\":[u:2],\"c\":u:3}");
  EXPECT_EQ(readTyped("? \n: v\nw: 1"), "{\"\":\"v\",\"w\":u:1}");
}

TEST(YamlReaderKeys, TaggedKeysOtherThanStringsFail) {
  EXPECT_EQ(errorOf("!!int 1: a"), "Invalid mapping key. Only string scalar keys are allowed. At line: 1 col: 1");
  EXPECT_EQ(errorOf("a: 1\nb:\n  !x c: 2"), "Invalid mapping key. Only string scalar keys are allowed. At line: 3 col: 3");
}

TEST(YamlReaderKeys, ContainersAsKeysFailAtTheirStart) {
  EXPECT_EQ(errorOf("? [a]\n: 1"), "Unexpected start of sequence. At line: 1 col: 3");
  EXPECT_EQ(errorOf("? {a: 1}\n: 2"), "Unexpected start of mapping. At line: 1 col: 3");
  EXPECT_EQ(errorOf("x:\n  ? - a\n  : 1"), "Unexpected start of sequence. At line: 2 col: 5");
  EXPECT_EQ(errorOf("{[a]: 1}"), "Unexpected start of sequence. At line: 1 col: 2");
}

TEST(YamlReaderAliases, AnAliasCopiesItsAnchoredNode) {
  EXPECT_EQ(readTyped("a: &x 1\nb: *x"), "{\"a\":u:1,\"b\":u:1}");
  EXPECT_EQ(readTyped("a: &x {p: [1, -2.5, 'y']}\nb: *x\nc: [*x, *x]"),
            "{\"a\":{\"p\":[u:1,f:-2.5,\"y\"]},\"b\":{\"p\":[u:1,f:-2.5,\"y\"]},"
            "\"c\":[{\"p\":[u:1,f:-2.5,\"y\"]},{\"p\":[u:1,f:-2.5,\"y\"]}]}");
  EXPECT_EQ(readTyped("- &s [1, &t two]\n- *t\n- *s"), "[[u:1,\"two\"],\"two\",[u:1,\"two\"]]");
  // An anchor under an element opened after a member whose key is gone.
  EXPECT_EQ(readTyped("[{a: 1}, {c: &x 3}, *x]"), "[{\"a\":u:1},{\"c\":u:3},u:3]");
  // Anchored nodes inside a collection that grows afterwards.
  EXPECT_EQ(readTyped("[&a 1, 2, 3, 4, 5, 6, 7, 8, 9, *a, [&b [x], 1, 2, 3, 4, 5], *b]"),
            "[u:1,u:2,u:3,u:4,u:5,u:6,u:7,u:8,u:9,u:1,[[\"x\"],u:1,u:2,u:3,u:4,u:5],[\"x\"]]");
}

TEST(YamlReaderAliases, CopiesAreIndependentOfTheirAnchor) {
  ValueResult result = parseYaml("a: &x {p: [1, 2]}\nb: *x\n");
  ASSERT_TRUE(result.ok()) << result.error();
  Value& copy = result.value().writeMember("b");
  copy.writeMember("p").appendElement().setUnsigned(std::uint64_t{3});
  copy.writeMember("q").setString("new");
  result.value().writeMember("a").writeMember("p").writeElement(0).setString("changed");
  EXPECT_EQ(typedText(result.value()), "{\"a\":{\"p\":[\"changed\",u:2]},\"b\":{\"p\":[u:1,u:2,u:3],\"q\":\"new\"}}");
}

TEST(YamlReaderAliases, AnchoredKeysStandForTheirText) {
  EXPECT_EQ(readTyped("&k x: *k"), "{\"x\":\"x\"}");
  EXPECT_EQ(readTyped("&k 12: 1\nb: [*k]"), "{\"12\":u:1,\"b\":[\"12\"]}");
}

TEST(YamlReaderAliases, AnAliasAsAKeyStandsForAString) {
  EXPECT_EQ(readTyped("a: &k key\n*k : 2"), "{\"a\":\"key\",\"key\":u:2}");
  EXPECT_EQ(readTyped("&k x: 1\ny: {*k : 2}"), "{\"x\":u:1,\"y\":{\"x\":u:2}}");
  EXPECT_EQ(errorOf("a: &n 1\n*n : 2"), "Invalid mapping key. Only string scalar keys are allowed. At line: 2 col: 1");
  EXPECT_EQ(errorOf("a: &s [k]\n*s : 2"), "Invalid mapping key. Only string scalar keys are allowed. At line: 2 col: 1");
  EXPECT_EQ(errorOf("*k : 2"), "Undefined alias encountered: \"k\". At line: 1 col: 1");
}

TEST(YamlReaderAliases, UndefinedAliasesFail) {
  EXPECT_EQ(errorOf("b: *y"), "Undefined alias encountered: \"y\". At line: 1 col: 4");
  EXPECT_EQ(errorOf("a: *x\nb: &x 1"), "Undefined alias encountered: \"x\". At line: 1 col: 4");
  EXPECT_EQ(errorOf("- 1\n- [2, *missing]"), "Undefined alias encountered: \"missing\". At line: 2 col: 7");
}

TEST(YamlReaderAliases, AnAliasInsideItsOwnAnchoredNodeIsACycle) {
  EXPECT_EQ(errorOf("&x [*x]"), "Cannot deserialize cyclic aliases. Alias \"x\". At line: 1 col: 5");
  EXPECT_EQ(errorOf("&m {a: *m}"), "Cannot deserialize cyclic aliases. Alias \"m\". At line: 1 col: 8");
  EXPECT_EQ(errorOf("&x [[1, *x]]"), "Cannot deserialize cyclic aliases. Alias \"x\". At line: 1 col: 9");
  EXPECT_EQ(errorOf("a: &x\n  b:\n    - *x"), "Cannot deserialize cyclic aliases. Alias \"x\". At line: 3 col: 7");
}

TEST(YamlReaderAliases, AnAnchorNameIsRecordedOnce) {
  EXPECT_EQ(errorOf("a: &x 1\nb: &x 2"), "Duplicate occurrence of anchor \"x\". At line: 2 col: 4");
  EXPECT_EQ(errorOf("&x a: &x 1"), "Duplicate occurrence of anchor \"x\". At line: 1 col: 7");
  EXPECT_EQ(errorOf("- &s [1]\n- &s {}"), "Duplicate occurrence of anchor \"s\". At line: 2 col: 3");
}

TEST(YamlReaderAliases, ARepeatedKeyOverAnAnchoredNodeLeavesItsPlaceToTheAlias) {
  // The alias copies what stands where the anchored node was.
  EXPECT_EQ(readTyped("a: &x 1\na: 2\nb: *x"), "{\"a\":u:2,\"b\":u:2}");
  EXPECT_EQ(readTyped("a: {k: &x 1}\na: {k: 7}\nb: *x"), "{\"a\":{\"k\":u:7},\"b\":u:7}");
  // Nothing stands there any more.
  EXPECT_EQ(errorOf("a: {k: &x 1}\na: 5\nb: *x"), "Undefined alias encountered: \"x\". At line: 3 col: 4");
  // The node now there is still open: copying it into itself is a cycle.
  EXPECT_EQ(errorOf("a: &x [1]\na: [*x]"), "Cannot deserialize cyclic aliases. Alias \"x\". At line: 2 col: 5");
  // The alias's own member is the anchored place: the value stays.
  EXPECT_EQ(readTyped("a: &x [1, {b: 2}]\na: *x"), "{\"a\":[u:1,{\"b\":u:2}]}");
  EXPECT_EQ(readTyped("a: {b: &x [3]}\na: *x"), "{\"a\":[u:3]}");
}

TEST(YamlReaderErrors, LibyamlErrorsKeepItsTextAndZeroBasedMark) {
  EXPECT_EQ(errorOf("a: b: c"), "YAML parser error: mapping values are not allowed in this context. At line: 0 col: 4");
  EXPECT_EQ(errorOf("[1, 2"), "YAML parser error: did not find expected ',' or ']'. At line: 1 col: 0");
  EXPECT_EQ(errorOf("x: 1\n y: 2\n z"), "YAML parser error: mapping values are not allowed in this context. At line: 1 col: 2");
  EXPECT_EQ(errorOf("\xFF"), "YAML parser error: invalid leading UTF-8 octet. At line: 0 col: 0");
}

TEST(YamlReaderErrors, AFailedResultHoldsOnlyTheMessage) {
  const ValueResult result = parseYaml("a: [1, 2, {b: *nope}]");
  EXPECT_FALSE(result.ok());
  const Value& value = result.value();
  EXPECT_EQ(value.kind(), ValueKind::Structure);
  EXPECT_EQ(value.size(), 1u);
  EXPECT_EQ(value.member("error").getString(), "Undefined alias encountered: \"nope\". At line: 1 col: 15");
}

TEST(YamlReaderTruncation, EveryCutOfADocumentEndsCleanly) {
  const std::string documents[] = {
      "--- &root\na: &x {p: [1, 2.5, 'q', \"w\\n\"]}\nb: *x\n? c\n: - !!int 5\n  - |\n    text\n  - *x\n...\n",
      "[&a [1, {k: v}], *a, {&k key: *a, *k : !!bool yes}, 0x1F, -inf, ~]",
      "- - - 1\n    - &z [a, b]\n  - *z\n- {x: [y, {z: *z}]}\n",
  };
  for (const std::string& document : documents) {
    ASSERT_TRUE(parseYaml(document).ok()) << document << ": " << parseYaml(document).error();
    for (std::size_t length = 0; length < document.size(); ++length) {
      const ValueResult result = parseYaml(std::string_view(document.data(), length));
      EXPECT_TRUE(result.ok() || !result.error().empty()) << "cut at " << length;
    }
  }
}

const std::string tooDeep = "The YAML document is nested deeper than " + std::to_string(maxNestingDepth) + " levels.";

TEST(YamlReaderNesting, DocumentsUpToTheLimitAreRead) {
  const ValueResult flow = parseYaml(repeat(maxNestingDepth, "[") + repeat(maxNestingDepth, "]"));
  ASSERT_TRUE(flow.ok()) << flow.error();
  const Value* innermost = &flow.value();
  for (std::size_t level = 1; level < maxNestingDepth; ++level) innermost = &innermost->element(0);
  EXPECT_EQ(innermost->kind(), ValueKind::Collection);
  EXPECT_EQ(innermost->size(), 0u);

  EXPECT_TRUE(parseYaml(repeat(maxNestingDepth, "- ") + "x").ok());
  EXPECT_TRUE(parseYaml(repeat(maxNestingDepth, "{a: ") + "1" + repeat(maxNestingDepth, "}")).ok());
}

TEST(YamlReaderNesting, OneLevelMoreFailsAtTheNodeThatOpensIt) {
  EXPECT_EQ(errorOf(repeat(maxNestingDepth + 1, "[")), tooDeep + " At line: 1 col: " + std::to_string(maxNestingDepth + 1));
  EXPECT_EQ(errorOf(repeat(maxNestingDepth + 1, "- ") + "x"),
            tooDeep + " At line: 1 col: " + std::to_string(2 * maxNestingDepth + 1));
  EXPECT_EQ(errorOf("a:\n  " + repeat(maxNestingDepth, "{b: ")),
            tooDeep + " At line: 2 col: " + std::to_string(3 + 4 * (maxNestingDepth - 1)));
}

TEST(YamlReaderNesting, AliasCopiesCountTowardsTheLimit) {
  // The anchored tree is 300 levels deep; under a mapping and k sequences the
  // copy reaches 1 + k + 300 levels.
  const std::string anchored = "a: &a " + repeat(300, "[") + repeat(300, "]") + "\n";
  const std::size_t fits = maxNestingDepth - 301;
  EXPECT_TRUE(parseYaml(anchored + "b: " + repeat(fits, "[") + "*a" + repeat(fits, "]")).ok());
  EXPECT_EQ(errorOf(anchored + "b: " + repeat(fits + 1, "[") + "*a" + repeat(fits + 1, "]")),
            tooDeep + " At line: 2 col: " + std::to_string(4 + fits + 1));
}

TEST(YamlReaderNesting, HostileNestingFailsCleanlyOnASmallStack) {
  const std::string brackets(1000000, '[');
  const std::string dashes = repeat(1000000, "- ");
  const std::string braces = repeat(200000, "{a: ");
  // Exactly maxNestingDepth levels: the outer sequence, two containers a
  // level, and the copy of a flat sequence innermost.
  const std::string limitDeep = "[&v [1], " + repeat(maxNestingDepth / 2 - 1, "[{k: ") + "*v" +
                                repeat(maxNestingDepth / 2 - 1, "}]") + "]";
  std::string bracketsError, dashesError, bracesError, limitError = "not run";
  bool limitOk = false;
  ASSERT_TRUE(Testing::runOnSmallStack(512 * 1024, [&] {
    bracketsError = std::string(parseYaml(brackets).error());
    dashesError = std::string(parseYaml(dashes).error());
    bracesError = std::string(parseYaml(braces).error());
    const ValueResult result = parseYaml(limitDeep);
    limitOk = result.ok();
    limitError = std::string(result.error());
    const Value copy = result.value();
  }));
  EXPECT_EQ(bracketsError, tooDeep + " At line: 1 col: " + std::to_string(maxNestingDepth + 1));
  EXPECT_EQ(dashesError, tooDeep + " At line: 1 col: " + std::to_string(2 * maxNestingDepth + 1));
  EXPECT_EQ(bracesError, tooDeep + " At line: 1 col: " + std::to_string(4 * maxNestingDepth + 1));
  EXPECT_TRUE(limitOk) << limitError;
}

const std::string expansionMessage =
    "YAML aliases expand to more than " + std::to_string(maxYamlAliasExpansion) + " nodes.";

// A list of ten copies of the previous line's list, six lines deep.
std::string laughs(char last) {
  std::string text = "a: &a [x, x, x, x, x, x, x, x, x, x]\n";
  for (char name = 'b'; name <= last; ++name) {
    const std::string previous(1, static_cast<char>(name - 1));
    text += std::string(1, name) + ": &" + name + " [" + repeat(9, "*" + previous + ", ") + "*" + previous + "]\n";
  }
  return text;
}

TEST(YamlReaderExpansion, NestedAliasesFailPastTheLimitInsteadOfExhaustingMemory) {
  // Lines b to e copy 123440 nodes; each *e of line f copies 111111 more, so
  // the eighth passes the limit.
  const ValueResult small = parseYaml(laughs('e'));
  ASSERT_TRUE(small.ok()) << small.error();
  EXPECT_EQ(small.value().member("e").size(), 10u);
  EXPECT_EQ(errorOf(laughs('f')), expansionMessage + " Alias \"e\". At line: 6 col: " + std::to_string(8 + 7 * 4));
  // A billion nodes in a few hundred bytes.
  EXPECT_EQ(errorOf(laughs('j')), expansionMessage + " Alias \"e\". At line: 6 col: " + std::to_string(8 + 7 * 4));
}

TEST(YamlReaderExpansion, TheLimitCountsEveryCopiedNode) {
  // 9999 scalars and their sequence: 10000 nodes a copy.
  const std::string anchored = "a: &a [" + repeat(9998, "0, ") + "0]\nb: [";
  const std::size_t copies = maxYamlAliasExpansion / 10000;
  const ValueResult atLimit = parseYaml(anchored + repeat(copies - 1, "*a, ") + "*a]");
  ASSERT_TRUE(atLimit.ok()) << atLimit.error();
  EXPECT_EQ(atLimit.value().member("b").size(), copies);
  EXPECT_EQ(errorOf(anchored + repeat(copies, "*a, ") + "*a]"),
            expansionMessage + " Alias \"a\". At line: 2 col: " + std::to_string(5 + 4 * copies));
  // An alias of an anchored key copies one node.
  EXPECT_EQ(errorOf("&k c: 1\n" + anchored + repeat(copies, "*a, ") + "*k]"),
            expansionMessage + " Alias \"k\". At line: 3 col: " + std::to_string(5 + 4 * copies));
}

}  // namespace
}  // namespace Quor
