#include "formats/json_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

namespace Quor {
namespace {

std::string stringText(std::string_view text) {
  JsonWriter writer;
  writer.string(text);
  return writer.text();
}

std::string numberText(double value) {
  JsonWriter writer;
  writer.number(value);
  return writer.text();
}

TEST(JsonWriterStrings, QuoteAndBackslashGetABackslash) {
  EXPECT_EQ(stringText(R"(say "hi" \ bye)"), R"("say \"hi\" \\ bye")");
}

TEST(JsonWriterStrings, ControlCharactersUseShortOrUpperCaseHexEscapes) {
  EXPECT_EQ(stringText(std::string_view("\x00\x01\b\t\n\x0B\f\r\x0E\x1A\x1F", 11)),
            R"("\u0000\u0001\b\t\n\u000B\f\r\u000E\u001A\u001F")");
}

TEST(JsonWriterStrings, EverythingElseIsWrittenUnchanged) {
  EXPECT_EQ(stringText("a/b \x7F \xC3\xA9 \xF0\x9F\x98\x80 ~"), "\"a/b \x7F \xC3\xA9 \xF0\x9F\x98\x80 ~\"");
  EXPECT_EQ(stringText(""), "\"\"");
  EXPECT_EQ(stringText(std::string_view()), "\"\"");
}

TEST(JsonWriterNumbers, IntegersAreDecimal) {
  JsonWriter writer;
  writer.startArray();
  writer.signedInteger(std::numeric_limits<std::int64_t>::min());
  writer.signedInteger(-1);
  writer.signedInteger(0);
  writer.unsignedInteger(std::numeric_limits<std::uint64_t>::max());
  writer.endArray();
  EXPECT_EQ(writer.text(), "[-9223372036854775808,-1,0,18446744073709551615]");
}

TEST(JsonWriterNumbers, DoublesUseTheShortestFormThatReadsBack) {
  EXPECT_EQ(numberText(2.5), "2.5");
  EXPECT_EQ(numberText(0.1), "0.1");
  EXPECT_EQ(numberText(100.0), "100.0");
  EXPECT_EQ(numberText(-0.0), "-0.0");
  EXPECT_EQ(numberText(1e21), "1e21");
  EXPECT_EQ(numberText(1.5e-7), "1.5e-7");
}

TEST(JsonWriterNumbers, DoublesReadBackToTheSameDouble) {
  for (double value : {0.1 + 0.2, 1.0 / 3.0, 5e-324, 1.7976931348623157e308, 2.2250738585072014e-308, 123456.789e-3,
                       18446744073709551616.0, -9007199254740993.0}) {
    const std::string text = numberText(value);
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), value) << text;
    EXPECT_LE(text.size(), 25u) << text;
  }
}

TEST(JsonWriterNumbers, NonFiniteDoublesBecomeNullSoTheTextStaysJson) {
  JsonWriter writer;
  writer.startObject();
  writer.key("nan");
  writer.number(std::numeric_limits<double>::quiet_NaN());
  writer.key("inf");
  writer.number(-std::numeric_limits<double>::infinity());
  writer.key("next");
  writer.number(1.0);
  writer.endObject();
  EXPECT_EQ(writer.text(), R"({"nan":null,"inf":null,"next":1.0})");
}

TEST(JsonWriterStructure, OutputIsCompact) {
  JsonWriter writer;
  writer.startObject();
  writer.key("a\"b");
  writer.startArray();
  writer.boolean(true);
  writer.boolean(false);
  writer.null();
  writer.startObject();
  writer.endObject();
  writer.endArray();
  writer.key("t");
  writer.string("x\ny");
  writer.key("r");
  writer.raw("u:1");
  writer.endObject();
  EXPECT_EQ(writer.text(), R"({"a\"b":[true,false,null,{}],"t":"x\ny","r":u:1})");
  EXPECT_EQ(writer.takeText(), R"({"a\"b":[true,false,null,{}],"t":"x\ny","r":u:1})");
}

}  // namespace
}  // namespace Quor
