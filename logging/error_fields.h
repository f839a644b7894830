#pragma once
// The named, typed fields of an error record.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace Quor {

// A field's value: bool, signed 64-bit, unsigned 64-bit, double or text.
using ErrorFieldValue = std::variant<bool, std::int64_t, std::uint64_t, double, std::string>;

struct ErrorField {
  std::string name;
  ErrorFieldValue value;
};

// Fields by name, each name once, iterated in the order the names were first
// set. An error carries a handful of fields, so a vector beats a hash table.
class ErrorFields {
 public:
  using const_iterator = std::vector<ErrorField>::const_iterator;

  // Sets the field, replacing the value of an earlier field of that name in
  // place.
  void set(std::string_view name, ErrorFieldValue value) {
    for (ErrorField& field : fields_) {
      if (field.name == name) {
        field.value = std::move(value);
        return;
      }
    }
    fields_.push_back({std::string(name), std::move(value)});
  }

  // The field's value, or null when there is none of that name.
  const ErrorFieldValue* find(std::string_view name) const {
    for (const ErrorField& field : fields_) {
      if (field.name == name) return &field.value;
    }
    return nullptr;
  }

  bool empty() const { return fields_.empty(); }
  std::size_t size() const { return fields_.size(); }
  void clear() { fields_.clear(); }
  const_iterator begin() const { return fields_.begin(); }
  const_iterator end() const { return fields_.end(); }

 private:
  std::vector<ErrorField> fields_;
};

}  // namespace Quor
