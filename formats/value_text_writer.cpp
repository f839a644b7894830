#include "formats/value_text_writer.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "formats/base64.h"
#include "formats/json_writer.h"

namespace Quor {

namespace {

template <typename Number>
std::string tagged(char tag, Number number) {
  char buffer[40] = {tag, ':'};
  const std::to_chars_result end = std::to_chars(buffer + 2, std::end(buffer), number);
  return std::string(buffer, end.ptr);
}

std::string taggedFloat(double number) {
  if (std::isnan(number)) return "f:nan";
  if (std::isinf(number)) return number < 0 ? "f:-inf" : "f:inf";
  return tagged('f', number);
}

void writeScalar(JsonWriter& writer, const Value& value, ValueTextStyle style) {
  const bool typed = style == ValueTextStyle::Typed;
  switch (value.kind()) {
    case ValueKind::Bool:
      writer.boolean(value.getBool());
      break;
    case ValueKind::Signed:
      if (typed) {
        writer.raw(tagged('i', value.getSigned()));
      } else {
        writer.signedInteger(value.getSigned());
      }
      break;
    case ValueKind::Unsigned:
      if (typed) {
        writer.raw(tagged('u', value.getUnsigned()));
      } else {
        writer.unsignedInteger(value.getUnsigned());
      }
      break;
    case ValueKind::Float:
      if (typed) {
        writer.raw(taggedFloat(value.getFloat()));
      } else {
        writer.number(value.getFloat());
      }
      break;
    case ValueKind::String:
      writer.string(value.getString());
      break;
    case ValueKind::Blob:
      if (typed) {
        writer.raw("b:" + base64Encode(value.getBlob()));
      } else {
        writer.string(base64Encode(value.getBlob()));
      }
      break;
    case ValueKind::Enum:
      if (typed) {
        writer.raw(tagged('e', value.getEnum().number));
      } else {
        writer.signedInteger(value.getEnum().number);
      }
      break;
    default:
      writer.null();
      break;
  }
}

// A container being written: the position of its next element or member.
struct OpenContainer {
  const Value* container;
  std::size_t nextElement = 0;
  Value::MemberIterator nextMember{};
  Value::MemberIterator endMember{};
};

}  // namespace

std::string valueToText(const Value& value, ValueTextStyle style) {
  JsonWriter writer;
  // An explicit stack, so a deep tree costs no recursion.
  std::vector<OpenContainer> open;
  const Value* next = &value;
  for (;;) {
    if (next != nullptr) {
      if (next->kind() == ValueKind::Collection) {
        writer.startArray();
        open.push_back({next});
      } else if (next->kind() == ValueKind::Structure) {
        writer.startObject();
        const Value::MemberRange members = next->members();
        open.push_back({next, 0, members.begin(), members.end()});
      } else {
        writeScalar(writer, *next, style);
      }
      next = nullptr;
    }
    if (open.empty()) break;
    OpenContainer& innermost = open.back();
    if (innermost.container->kind() == ValueKind::Collection) {
      if (innermost.nextElement < innermost.container->size()) {
        next = &innermost.container->element(innermost.nextElement++);
      } else {
        writer.endArray();
        open.pop_back();
      }
    } else if (innermost.nextMember != innermost.endMember) {
      const MemberView member = *innermost.nextMember++;
      writer.key(member.name);
      next = &member.value;
    } else {
      writer.endObject();
      open.pop_back();
    }
  }
  return writer.takeText();
}

}  // namespace Quor
