#include "formats/json_writer.h"

#include <cmath>

#include <rapidjson/writer.h>

#include "formats/json_allocator.h"

namespace Quor {

namespace {

// An empty view may carry no pointer; the writer reads from it regardless.
const char* characters(std::string_view text) { return text.data() != nullptr ? text.data() : ""; }

}  // namespace

// Appends the writer's characters to the text.
struct JsonWriter::Output {
  using Ch = char;
  std::string* text;
  void Put(char c) { text->push_back(c); }
  void Flush() {}
};

struct JsonWriter::Engine {
  explicit Engine(std::string& text) : output{&text}, writer(output) {}
  Output output;
  rapidjson::Writer<Output, rapidjson::UTF8<>, rapidjson::UTF8<>, CountingJsonAllocator> writer;
};

JsonWriter::JsonWriter() : engine_(std::make_unique<Engine>(text_)) {}

JsonWriter::~JsonWriter() = default;

void JsonWriter::startObject() { engine_->writer.StartObject(); }
void JsonWriter::endObject() { engine_->writer.EndObject(); }
void JsonWriter::startArray() { engine_->writer.StartArray(); }
void JsonWriter::endArray() { engine_->writer.EndArray(); }

void JsonWriter::key(std::string_view name) {
  engine_->writer.Key(characters(name), static_cast<rapidjson::SizeType>(name.size()));
}

void JsonWriter::null() { engine_->writer.Null(); }
void JsonWriter::boolean(bool value) { engine_->writer.Bool(value); }
void JsonWriter::signedInteger(std::int64_t value) { engine_->writer.Int64(value); }
void JsonWriter::unsignedInteger(std::uint64_t value) { engine_->writer.Uint64(value); }

void JsonWriter::number(double value) {
  // The writer would put out the separator and then nothing for these.
  if (!std::isfinite(value)) {
    engine_->writer.Null();
    return;
  }
  engine_->writer.Double(value);
}

void JsonWriter::string(std::string_view text) {
  engine_->writer.String(characters(text), static_cast<rapidjson::SizeType>(text.size()));
}

void JsonWriter::raw(std::string_view token) {
  engine_->writer.RawValue(characters(token), token.size(), rapidjson::kNumberType);
}

}  // namespace Quor
