#include "binding/static_type.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "binding/native_kind.h"
#include "host/plugin_event_records.h"

namespace Quor {
namespace {

// Codes the platform's own compiler produces; other plugins and the core
// identify types by them.
TEST(StaticTypeHashCode, MatchesTheReferenceCodes) {
  EXPECT_EQ(StaticType::HashCode<int>(), 0x1C4DE261u);
  EXPECT_EQ(StaticType::HashCode<unsigned int>(), 0x3494B562u);
  EXPECT_EQ(StaticType::HashCode<bool>(), 0x6AB1187Cu);
  EXPECT_EQ(StaticType::HashCode<std::string>(), 0x2757680Bu);
  EXPECT_EQ(StaticType::HashCode<void>(), 0x1BE7EF8Eu);
  EXPECT_EQ(voidHashCode, 0x1BE7EF8Eu);
}

TEST(StaticTypeHashCode, FixedWidthAliasesShareTheCodesOfTheirTypes) {
  EXPECT_EQ(StaticType::HashCode<std::int32_t>(), 0x1C4DE261u);
  EXPECT_EQ(StaticType::HashCode<std::uint32_t>(), 0x3494B562u);
}

TEST(StaticTypeHashCode, DisplayTextIsHashSignAndEightUpperCaseDigits) {
  EXPECT_STREQ(StaticType::HashRecord<int>().text, "#1C4DE261");
  EXPECT_STREQ(StaticType::HashRecord<bool>().text, "#6AB1187C");
  EXPECT_STREQ(StaticType::HashRecord<std::string>().text, "#2757680B");
  EXPECT_EQ(StaticType::HashRecord<int>().code, StaticType::HashCode<int>());
  EXPECT_EQ(std::strlen(StaticType::HashRecord<void>().text), 9u);
}

TEST(StaticTypeHashCode, DistinctTypesGetDistinctCodes) {
  using namespace Quor::Client;
  const std::vector<std::uint32_t> codes = {
      StaticType::HashCode<PluginManagerState>(), StaticType::HashCode<PluginManagerResource>(),
      StaticType::HashCode<PluginResourceEventType>(), StaticType::HashCode<PluginResourceEvent>(),
      StaticType::HashCode<AppModule::PluginLcdsEvent>(), StaticType::HashCode<int>(),
      StaticType::HashCode<std::vector<int>>(), StaticType::HashCode<std::vector<std::string>>()};
  for (std::size_t a = 0; a < codes.size(); ++a) {
    for (std::size_t b = a + 1; b < codes.size(); ++b) EXPECT_NE(codes[a], codes[b]) << a << " " << b;
  }
}

TEST(StaticTypeName, IsTheFullSignatureText) {
  EXPECT_STREQ(StaticType::Name<bool>(), "const char *__cdecl StaticType::Name<bool>(void)");
  EXPECT_STREQ(StaticType::Name<std::string>(),
               "const char *__cdecl StaticType::Name<class std::basic_string<char,struct "
               "std::char_traits<char>,class std::allocator<char> >>(void)");
  EXPECT_EQ(StaticType::NameRecord<bool>().code, StaticType::HashCode<bool>());
  EXPECT_EQ(StaticType::NameRecord<bool>().name, StaticType::Name<bool>());
}

TEST(StaticTypeName, ClassesAndEnumsCarryKeywordAndNamespace) {
  EXPECT_STREQ(StaticType::Name<Client::PluginManagerState>(),
               "const char *__cdecl StaticType::Name<enum Quor::Client::PluginManagerState>(void)");
  EXPECT_STREQ(StaticType::Name<Client::AppModule::PluginLcdsEvent>(),
               "const char *__cdecl StaticType::Name<struct Quor::Client::AppModule::PluginLcdsEvent>(void)");
}

TEST(StaticTypeName, NestedTemplateArgumentsCloseWithASpace) {
  EXPECT_STREQ(StaticType::Name<std::vector<int>>(),
               "const char *__cdecl StaticType::Name<class std::vector<int,class std::allocator<int> >>(void)");
  EXPECT_STREQ(StaticType::Name<std::vector<std::vector<bool>>>(),
               "const char *__cdecl StaticType::Name<class std::vector<class std::vector<bool,class "
               "std::allocator<bool> >,class std::allocator<class std::vector<bool,class std::allocator<bool> > > "
               ">>(void)");
}

TEST(NativeKindNames, NameEveryKindAndNothingElse) {
  const char* const expected[] = {"",       "bool",  "int8",   "uint8",  "int16",  "uint16", "int32",
                                  "uint32", "int64", "uint64", "float",  "double", "string", "object",
                                  "blob",   "vector", "enum",  "struct", "callback", "map"};
  for (std::uint32_t kind = 0; kind < 20; ++kind) EXPECT_STREQ(nativeKindName(kind), expected[kind]) << kind;
  EXPECT_STREQ(nativeKindName(20u), "");
  EXPECT_STREQ(nativeKindName(0xFFFFFFFFu), "");
  EXPECT_EQ(nativeKindCode(static_cast<NativeKind>(25)), 0u);
  EXPECT_EQ(nativeKindCode(NativeKind::Map), 19u);
}

}  // namespace
}  // namespace Quor
