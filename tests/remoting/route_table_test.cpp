#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "remoting/route.h"

namespace Quor {
namespace {

Route routeFor(std::string_view templateText) {
  Expected<Route> route = makeRoute(templateText);
  EXPECT_TRUE(route) << templateText;
  return route ? std::move(*route) : Route{};
}

TEST(RouteConstruction, LiteralAndPatternRoutes) {
  const Route literal = routeFor("/qel-beta-opt-in/v1/needs-migration");
  EXPECT_EQ(literal.literalPath, "/qel-beta-opt-in/v1/needs-migration");
  EXPECT_FALSE(literal.pattern.has_value());
  EXPECT_TRUE(literal.parameters.empty());

  const Route pattern = routeFor("/items/{id}");
  EXPECT_EQ(pattern.literalPath, "");
  ASSERT_TRUE(pattern.pattern.has_value());
  EXPECT_EQ(*pattern.pattern, "/items/([^/]*)");
  ASSERT_EQ(pattern.parameters.size(), 1u);
  EXPECT_EQ(pattern.parameters[0].name, "id");
  EXPECT_EQ(pattern.templateText, "/items/{id}");
}

TEST(RouteMatching, LiteralRoutesCompareTheWholePathQueryIncluded) {
  const Route route = routeFor("/x");
  PathCaptures captures;
  EXPECT_TRUE(matchRoute(route, "/x", captures));
  EXPECT_FALSE(matchRoute(route, "/x?a=1", captures));
  EXPECT_FALSE(matchRoute(route, "/x/", captures));
  EXPECT_FALSE(matchRoute(route, "/X", captures));
}

TEST(RouteMatching, PatternRoutesMatchTheWholePathAndDecodeCaptures) {
  PathCaptures captures;
  const Route segment = routeFor("/x/{id}");
  ASSERT_TRUE(matchRoute(segment, "/x/7?a=1", captures));
  EXPECT_EQ(captures, (PathCaptures{{"id", "7?a=1"}}));
  EXPECT_FALSE(matchRoute(segment, "/x/a/b", captures));
  EXPECT_FALSE(matchRoute(segment, "/y/x/7", captures));
  ASSERT_TRUE(matchRoute(segment, "/x/a%2Fb+c", captures));
  EXPECT_EQ(captures, (PathCaptures{{"id", "a/b c"}}));

  const Route rest = routeFor("/x/{+rest}");
  ASSERT_TRUE(matchRoute(rest, "/x/a/b", captures));
  EXPECT_EQ(captures, (PathCaptures{{"rest", "a/b"}}));

  const Route fragment = routeFor("/x/{#frag}");
  ASSERT_TRUE(matchRoute(fragment, "/x/#top", captures));
  EXPECT_EQ(captures, (PathCaptures{{"frag", "top"}}));
  EXPECT_FALSE(matchRoute(fragment, "/x/top", captures));
}

TEST(RouteMatching, ALaterGroupOfTheSameNameWins) {
  PathCaptures captures;
  ASSERT_TRUE(matchRoute(routeFor("/{a}/{a}"), "/first/second", captures));
  EXPECT_EQ(captures, (PathCaptures{{"a", "second"}}));
}

struct TableCase {
  std::vector<Route> routes;

  const Route* match(RouteMatch& result, std::string path, RequestMethod method = RequestMethod::Get,
                     bool ignoreMethod = false) const {
    std::vector<const Route*> table;
    for (const Route& route : routes) table.push_back(&route);
    result.path = std::move(path);
    result.method = method;
    if (!matchRequest(result, table, ignoreMethod)) return nullptr;
    for (const Route& route : routes) {
      if (route.templateText == result.templateText) return &route;
    }
    return nullptr;
  }
};

TEST(RouteTableMatching, TheRouteWithTheShortestCapturesWins) {
  RouteMatch match;
  TableCase segmentFirst{{routeFor("/{p}"), routeFor("/a/{x}")}};
  const Route* taken = segmentFirst.match(match, "/a/b");
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(taken->templateText, "/a/{x}");
  EXPECT_EQ(match.captures, (PathCaptures{{"x", "b"}}));

  RouteMatch second;
  TableCase restFirst{{routeFor("/{+p}"), routeFor("/a/{x}")}};
  taken = restFirst.match(second, "/a/b");
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(taken->templateText, "/a/{x}");
  EXPECT_EQ(second.captures, (PathCaptures{{"x", "b"}}));

  // The totals compare decoded texts: "%41" is one character.
  RouteMatch decoded;
  TableCase byDecodedLength{{routeFor("/a/{x}"), routeFor("/{y}/%41")}};
  taken = byDecodedLength.match(decoded, "/a/%41");
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(taken->templateText, "/a/{x}");
}

TEST(RouteTableMatching, TiesKeepTheEarlierRoute) {
  RouteMatch match;
  TableCase table{{routeFor("/a/{x}"), routeFor("/{y}/b")}};
  const Route* taken = table.match(match, "/a/b");
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(taken->templateText, "/a/{x}");

  RouteMatch reversed;
  TableCase otherOrder{{routeFor("/{y}/b"), routeFor("/a/{x}")}};
  taken = otherOrder.match(reversed, "/a/b");
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(taken->templateText, "/{y}/b");
  EXPECT_EQ(reversed.captures, (PathCaptures{{"y", "a"}}));
}

TEST(RouteTableMatching, ALiteralRouteHasNoCapturesAndBeatsPatterns) {
  RouteMatch match;
  TableCase table{{routeFor("/{p}"), routeFor("/a")}};
  const Route* taken = table.match(match, "/a");
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(taken->templateText, "/a");
  EXPECT_TRUE(match.captures.empty());
}

TEST(RouteTableMatching, NoRouteMatches) {
  RouteMatch match;
  TableCase table{{routeFor("/a/{x}"), routeFor("/b")}};
  EXPECT_EQ(table.match(match, "/c/d"), nullptr);
  EXPECT_EQ(match.function, nullptr);
  EXPECT_EQ(table.match(match, ""), nullptr);
  TableCase empty{};
  EXPECT_EQ(empty.match(match, "/a/b"), nullptr);
}

}  // namespace
}  // namespace Quor
