#include "remoting/path_template.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

#include "remoting/route.h"

namespace Quor {
namespace {

std::vector<PathParameterKind> kindsOf(const CompiledTemplate& compiled) {
  std::vector<PathParameterKind> kinds;
  for (const PathParameter& parameter : compiled.parameters) kinds.push_back(parameter.kind);
  return kinds;
}

std::vector<std::string> namesOf(const CompiledTemplate& compiled) {
  std::vector<std::string> names;
  for (const PathParameter& parameter : compiled.parameters) names.push_back(parameter.name);
  return names;
}

TEST(TemplateCompilation, TheThreeParameterKinds) {
  EXPECT_EQ(compileTemplate("/a/{id}").pattern, "/a/([^/]*)");
  EXPECT_EQ(compileTemplate("/files/{+rest}").pattern, "/files/(.*)");
  EXPECT_EQ(compileTemplate("/x/{#frag}").pattern, "/x/#(.*)");

  const CompiledTemplate all = compileTemplate("/{a}/{+b}{#c}");
  EXPECT_EQ(all.pattern, "/([^/]*)/(.*)#(.*)");
  EXPECT_EQ(kindsOf(all), (std::vector{PathParameterKind::Segment, PathParameterKind::Rest,
                                       PathParameterKind::Fragment}));
  EXPECT_EQ(namesOf(all), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(TemplateCompilation, EscapesTheTwelveSpecialCharactersOnly) {
  EXPECT_EQ(compileTemplate("/v1.0/{x}").pattern, "/v1\\.0/([^/]*)");
  EXPECT_EQ(compileTemplate("^$.*+?()[]|\\{x}").pattern, "\\^\\$\\.\\*\\+\\?\\(\\)\\[\\]\\|\\\\([^/]*)");
  EXPECT_EQ(compileTemplate("/a-b_c~d:e@f!g,h;i=j&k'l\"m/{x}").pattern, "/a-b_c~d:e@f!g,h;i=j&k'l\"m/([^/]*)");
}

TEST(TemplateCompilation, SignsInsideANameOnceItHasStarted) {
  const CompiledTemplate plus = compileTemplate("/{a+b}");
  EXPECT_EQ(plus.pattern, "/([^/]*)");
  EXPECT_EQ(namesOf(plus), std::vector<std::string>{"a+b"});
  EXPECT_EQ(namesOf(compileTemplate("/{a#b}")), std::vector<std::string>{"a#b"});
  // In the rest and fragment states every character joins the name.
  EXPECT_EQ(namesOf(compileTemplate("/{++a}")), std::vector<std::string>{"+a"});
  EXPECT_EQ(namesOf(compileTemplate("/{+#a}")), std::vector<std::string>{"#a"});
  EXPECT_EQ(kindsOf(compileTemplate("/{++a}")), std::vector{PathParameterKind::Rest});
}

TEST(TemplateCompilation, AnOpeningBraceRestartsTheGroupButKeepsTheName) {
  const CompiledTemplate compiled = compileTemplate("/{+ab{cd}");
  EXPECT_EQ(compiled.pattern, "/([^/]*)");
  EXPECT_EQ(kindsOf(compiled), std::vector{PathParameterKind::Segment});
  EXPECT_EQ(namesOf(compiled), std::vector<std::string>{"abcd"});
}

TEST(TemplateCompilation, EmptyNamesStrayBracesAndUnclosedGroups) {
  const CompiledTemplate empty = compileTemplate("/{}");
  EXPECT_EQ(empty.pattern, "/([^/]*)");
  EXPECT_EQ(namesOf(empty), std::vector<std::string>{""});

  // A stray "}" adds a parameter without a group and nothing to the pattern.
  const CompiledTemplate stray = compileTemplate("/a}/{id}");
  EXPECT_EQ(stray.pattern, "/a/([^/]*)");
  EXPECT_EQ(kindsOf(stray), (std::vector{PathParameterKind::Stray, PathParameterKind::Segment}));
  EXPECT_EQ(namesOf(stray), (std::vector<std::string>{"", "id"}));

  // An unclosed group leaves nothing behind.
  const CompiledTemplate unclosed = compileTemplate("/a/{id");
  EXPECT_EQ(unclosed.pattern, "/a/");
  EXPECT_TRUE(unclosed.parameters.empty());
}

TEST(TemplateMatching, StrayBracesDoNotShiftTheCapturesOntoOtherNames) {
  Expected<Route> route = makeRoute("/a}/{id}/{+rest}");
  ASSERT_TRUE(route);
  PathCaptures captures;
  ASSERT_TRUE(matchRoute(*route, "/a/7/x/y", captures));
  EXPECT_EQ(captures, (PathCaptures{{"id", "7"}, {"rest", "x/y"}}));
}

// The matcher must capture exactly what the regular-expression engine
// captures for the same pattern (a full match, greedy groups).
void expectSameAsRegex(const std::string& templateText, const std::string& path) {
  const CompiledTemplate compiled = compileTemplate(templateText);
  const std::regex expression(compiled.pattern, std::regex::ECMAScript | std::regex::optimize);
  std::smatch expected;
  const bool expectedMatch = std::regex_match(path, expected, expression);

  const PathMatcher matcher(compiled.pieces);
  std::vector<std::string_view> groups(matcher.groupCount());
  const bool matched = matcher.match(path, groups);
  ASSERT_EQ(matched, expectedMatch) << templateText << " against " << path;
  if (!matched) return;
  ASSERT_EQ(groups.size() + 1, expected.size()) << templateText;
  for (std::size_t group = 0; group < groups.size(); ++group) {
    EXPECT_EQ(std::string(groups[group]), expected[group + 1].str())
        << templateText << " against " << path << ", group " << group + 1;
  }
}

TEST(TemplateMatching, CapturesAgreeWithTheRegularExpressionEngine) {
  const char* cases[][2] = {
      {"/a/{id}", "/a/7"},           {"/a/{id}", "/a/"},          {"/a/{id}", "/a/b/c"},
      {"/{a}{b}", "/xy"},            {"/{+a}/{+b}", "/x/y/z"},    {"/{+a}/{b}", "/x/y/z"},
      {"/{a}/{+b}", "/x/y/z"},       {"/{+a}{#b}", "/x#y#z"},     {"/x/{#frag}", "/x/#top"},
      {"/x/{#frag}", "/x/top"},      {"/{+a}b{+c}b", "/abbcbb"},  {"/{a}.{b}", "/x.y.z"},
      {"/{+a}", "/line\nbreak"},     {"/{a}", "/line\nbreak"},   {"/{+a}", "/cr\rhere"},
      {"/v1.0/{x}", "/v1x0/y"},      {"/v1.0/{x}", "/v1.0/y"},    {"/(a)/{x}", "/(a)/y"},
      {"/{x}?", "/y?"},              {"/{x}", "/7?a=1"},          {"/{+p}", "/a/b"},
  };
  for (const auto& [templateText, path] : cases) expectSameAsRegex(templateText, path);
}

// Routes were refused when their pattern did not compile as a regular
// expression; no template can give such a pattern, whatever bytes its
// literal text holds, so every one of them makes a route.
TEST(TemplateMatching, EveryPatternCompilesAsTheRegularExpressionItStandsFor) {
  for (int value = 0; value < 256; ++value) {
    const char byte = static_cast<char>(value);
    for (const std::string& templateText :
         {"/" + std::string(1, byte) + "/{x}", "/{x}" + std::string(1, byte), "/{+" + std::string(1, byte) + "}/{#y}",
          std::string(1, byte) + "}{" + std::string(1, byte)}) {
      const CompiledTemplate compiled = compileTemplate(templateText);
      EXPECT_NO_THROW(std::regex(compiled.pattern, std::regex::ECMAScript | std::regex::optimize)) << value;
      EXPECT_TRUE(makeRoute(templateText)) << value;
    }
  }
}

TEST(TemplateMatching, RandomTemplatesAndPathsAgreeWithTheRegularExpressionEngine) {
  std::mt19937 random(20240611);
  const std::string templateAlphabet = "ab/.#";
  const std::string pathAlphabet = "ab/.#\n";
  const char* groups[] = {"{p}", "{+r}", "{#f}"};
  for (int round = 0; round < 3000; ++round) {
    std::string templateText;
    const int pieces = 1 + static_cast<int>(random() % 5);
    for (int piece = 0; piece < pieces; ++piece) {
      if (random() % 2 == 0) {
        templateText += groups[random() % 3];
      } else {
        const int length = 1 + static_cast<int>(random() % 3);
        for (int index = 0; index < length; ++index) templateText += templateAlphabet[random() % templateAlphabet.size()];
      }
    }
    std::string path;
    const int length = static_cast<int>(random() % 10);
    for (int index = 0; index < length; ++index) path += pathAlphabet[random() % pathAlphabet.size()];
    expectSameAsRegex(templateText, path);
    if (HasFailure()) return;
  }
}

TEST(TemplateMatching, LongHostilePathsMatchWithoutRecursion) {
  // The regular-expression engine recurses once per character and runs out
  // of stack on paths like these.
  Expected<Route> segment = makeRoute("/x/{id}");
  Expected<Route> rest = makeRoute("/{+a}/{+b}/end");
  ASSERT_TRUE(segment && rest);
  PathCaptures captures;
  const std::string longSegment = "/x/" + std::string(2'000'000, 'a');
  ASSERT_TRUE(matchRoute(*segment, longSegment, captures));
  EXPECT_EQ(captures["id"].size(), 2'000'000u);

  // Many ways to split, none of which ends in "/end": rejected in one pass.
  const std::string slashes = "/" + std::string(200'000, '/') + "x";
  EXPECT_FALSE(matchRoute(*rest, slashes, captures));
  const std::string slashesThenEnd = "/" + std::string(200'000, '/') + "end";
  ASSERT_TRUE(matchRoute(*rest, slashesThenEnd, captures));
  EXPECT_EQ(captures["a"], std::string(199'998, '/'));
  EXPECT_EQ(captures["b"], "");
}

}  // namespace
}  // namespace Quor
