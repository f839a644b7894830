#include "formats/json_reader.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include <rapidjson/reader.h>

#include "formats/json_allocator.h"
#include "formats/json_error_text.h"
#include "formats/json_number_guard.h"
#include "binding/nesting_limit.h"
#include "formats/value_builder.h"

namespace Quor {

namespace {

// Tokenizer events, turned into the tree by the builder.
class JsonEvents {
 public:
  explicit JsonEvents(Value& root) : builder_(root) {}

  bool Null() {
    builder_.slot().setEmpty();
    return true;
  }
  bool Bool(bool value) {
    builder_.slot().setBool(value);
    return true;
  }
  // The tokenizer reports non-negative integers through Uint/Uint64 and
  // negative ones through Int/Int64.
  bool Int(int value) {
    builder_.slot().setSigned(static_cast<std::int32_t>(value));
    return true;
  }
  bool Uint(unsigned value) {
    builder_.slot().setUnsigned(static_cast<std::uint32_t>(value));
    return true;
  }
  bool Int64(std::int64_t value) {
    builder_.slot().setSigned(value);
    return true;
  }
  bool Uint64(std::uint64_t value) {
    builder_.slot().setUnsigned(value);
    return true;
  }
  bool Double(double value) {
    builder_.slot().setFloat(value);
    return true;
  }
  // Only sent with the numbers-as-strings flag, which is never set.
  bool RawNumber(const char*, rapidjson::SizeType, bool) { return false; }
  // The whole text, an escaped NUL and what follows it included.
  bool String(const char* text, rapidjson::SizeType length, bool) {
    builder_.slot().setString(std::string_view(text, length));
    return true;
  }
  bool StartObject() { return builder_.beginStructure(); }
  bool Key(const char* name, rapidjson::SizeType length, bool) {
    builder_.key(std::string_view(name, length));
    return true;
  }
  bool EndObject(rapidjson::SizeType) {
    builder_.end();
    return true;
  }
  bool StartArray() { return builder_.beginCollection(); }
  bool EndArray(rapidjson::SizeType) {
    builder_.end();
    return true;
  }

  bool nestedTooDeeply() const { return builder_.nestedTooDeeply(); }

 private:
  ValueBuilder builder_;
};

// The tokenizer's input. Read in its in-place mode, the tokenizer decodes
// each string into the stream and hands it to the events from there; this
// stream keeps the text read-only and decodes every string to the start of
// a scratch buffer instead. The plain mode would push each character of
// each string onto the tokenizer's stack, checking its room every time.
class StringScratchStream {
 public:
  using Ch = char;

  StringScratchStream(const char* text, char* scratch) : next_(text), head_(text), scratch_(scratch) {}

  char Peek() const { return *next_; }
  char Take() { return *next_++; }
  std::size_t Tell() const { return static_cast<std::size_t>(next_ - head_); }

  char* PutBegin() { return written_ = scratch_; }
  void Put(char c) { *written_++ = c; }
  std::size_t PutEnd(char* begin) const { return static_cast<std::size_t>(written_ - begin); }
  void Flush() {}

 private:
  const char* next_;
  const char* head_;
  char* scratch_;
  char* written_ = nullptr;
};

bool isJsonWhitespace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

std::string errorMessage(const char* text, std::size_t offset) {
  std::string message = "Error: ";
  message += text;
  message += " at offset ";
  message += std::to_string(offset);
  message += '.';
  return message;
}

}  // namespace
}  // namespace Quor

// Copied into the tokenizer's functions, as its own string streams are.
template <>
struct rapidjson::StreamTraits<Quor::StringScratchStream> {
  enum { copyOptimization = 1 };
};

namespace Quor {

ValueResult parseJson(const char* text) {
  ValueResult result;
  if (text == nullptr) return result;
  const char* first = text;
  while (isJsonWhitespace(*first)) ++first;
  if (*first == '\0') return result;

  // The text ends at its first NUL; a rewritten copy has the same length.
  const std::size_t length = std::strlen(text);
  std::string rewritten;
  const char* source = rewriteHugeNegativeExponents(text, length, rewritten) ? rewritten.c_str() : text;

  // Room for the longest string, decoded: a string decodes to at most its
  // own length. Short texts (most request bodies) use the stack; a long
  // one's buffer is only written, and its pages only used, as far as its
  // longest string reaches.
  const std::size_t size = length + 1;
  char shortScratch[512];
  std::unique_ptr<char[]> longScratch;
  if (size > sizeof shortScratch) longScratch = std::make_unique_for_overwrite<char[]>(size);

  JsonEvents events(result.value());
  // Handed in, so the tokenizer's stack does not allocate an allocator of
  // its own.
  CountingJsonAllocator stackAllocator;
  rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, CountingJsonAllocator> reader(&stackAllocator);
  StringScratchStream stream(source, longScratch != nullptr ? longScratch.get() : shortScratch);
  const rapidjson::ParseResult outcome = reader.Parse<rapidjson::kParseInsituFlag>(stream, events);
  if (!outcome.IsError()) return result;

  if (events.nestedTooDeeply()) {
    // The tokenizer stops just after the bracket that was refused.
    static const std::string tooDeep =
        "The document is nested deeper than " + std::to_string(maxNestingDepth) + " levels.";
    result.fail(errorMessage(tooDeep.c_str(), outcome.Offset() - 1));
  } else {
    result.fail(errorMessage(jsonErrorText(static_cast<unsigned>(outcome.Code())), outcome.Offset()));
  }
  return result;
}

}  // namespace Quor
