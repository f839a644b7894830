#pragma once
// Compact JSON text (no blanks, no line breaks) written by RapidJSON's
// writer with its default settings:
// - texts escape the double quote and the backslash with a backslash;
//   backspace, form feed, line feed, carriage return and tab as \b \f \n \r \t;
//   every other character below 0x20 as \u00XX (upper-case hex); everything
//   else, the slash included, unchanged;
// - doubles in the shortest decimal form that reads back to the same double.
//
// The caller keeps the calls well formed (a key before each member value,
// matching ends); the writer itself cannot fail.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace Quor {

class JsonWriter {
 public:
  JsonWriter();
  ~JsonWriter();
  JsonWriter(const JsonWriter&) = delete;
  JsonWriter& operator=(const JsonWriter&) = delete;

  void startObject();
  void endObject();
  void startArray();
  void endArray();
  void key(std::string_view name);

  void null();
  void boolean(bool value);
  void signedInteger(std::int64_t value);
  void unsignedInteger(std::uint64_t value);
  // NaN and the infinities have no JSON form: they are written as null, so
  // the text stays readable JSON.
  void number(double value);
  void string(std::string_view text);
  // A value written exactly as given (a token of an extended notation).
  void raw(std::string_view token);

  const std::string& text() const { return text_; }
  std::string takeText() { return std::move(text_); }

 private:
  struct Output;
  struct Engine;
  std::string text_;
  std::unique_ptr<Engine> engine_;
};

}  // namespace Quor
