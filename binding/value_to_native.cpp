#include "binding/value_to_native.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "binding/conversion_messages.h"
#include "binding/format_message.h"
#include "binding/type_registry.h"
#include "binding/typed_conversion.h"

namespace Quor {

namespace Messages = ConversionMessages;

namespace {

struct IntegerRange {
  bool isSigned;
  std::int64_t minimum;
  std::uint64_t maximum;
  // The first number above the range, as a double (exact: a power of two).
  double bound;
  const char* typeName;
};

IntegerRange integerRange(NativeKind kind) {
  switch (kind) {
    case NativeKind::Int8: return {true, INT8_MIN, INT8_MAX, 0x1p7, "int8"};
    case NativeKind::UInt8: return {false, 0, UINT8_MAX, 0x1p8, "uint8"};
    case NativeKind::Int16: return {true, INT16_MIN, INT16_MAX, 0x1p15, "int16"};
    case NativeKind::UInt16: return {false, 0, UINT16_MAX, 0x1p16, "uint16"};
    case NativeKind::Int32: return {true, INT32_MIN, INT32_MAX, 0x1p31, "int32"};
    case NativeKind::UInt32: return {false, 0, UINT32_MAX, 0x1p32, "uint32"};
    case NativeKind::Int64: return {true, INT64_MIN, INT64_MAX, 0x1p63, "int64"};
    default: return {false, 0, UINT64_MAX, 0x1p64, "uint64"};
  }
}

bool isCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

const char* kindName(const Value& value) { return valueKindName(value.kind()); }

void writeInteger(void* target, NativeKind kind, std::uint64_t bits) {
  switch (kind) {
    case NativeKind::Int8: *static_cast<std::int8_t*>(target) = static_cast<std::int8_t>(bits); break;
    case NativeKind::UInt8: *static_cast<std::uint8_t*>(target) = static_cast<std::uint8_t>(bits); break;
    case NativeKind::Int16: *static_cast<std::int16_t*>(target) = static_cast<std::int16_t>(bits); break;
    case NativeKind::UInt16: *static_cast<std::uint16_t*>(target) = static_cast<std::uint16_t>(bits); break;
    case NativeKind::Int32: *static_cast<std::int32_t*>(target) = static_cast<std::int32_t>(bits); break;
    case NativeKind::UInt32: *static_cast<std::uint32_t*>(target) = static_cast<std::uint32_t>(bits); break;
    case NativeKind::Int64: *static_cast<std::int64_t*>(target) = static_cast<std::int64_t>(bits); break;
    case NativeKind::UInt64: *static_cast<std::uint64_t*>(target) = bits; break;
    default: break;
  }
}

bool signedInRange(std::int64_t number, const IntegerRange& range) {
  if (range.isSigned) return number >= range.minimum && number <= static_cast<std::int64_t>(range.maximum);
  return number >= 0 && static_cast<std::uint64_t>(number) <= range.maximum;
}

// A text parsed in base 0 as the C library does it; the whole text must be
// the number (an embedded zero byte counts as a leftover character).
bool integerFromText(ConversionContext& context, const Value& source, std::string_view name,
                     const IntegerRange& range, std::uint64_t& bits) {
  const std::string_view text = source.getString();
  const char* begin = source.getCString();
  char* end = nullptr;
  errno = 0;
  if (range.isSigned) {
    const long long number = std::strtoll(begin, &end, 0);
    const bool overflow = errno == ERANGE;
    if (end != begin + text.size()) {
      context.fail(FormatMessage(Messages::incorrectFormat, text, name, range.typeName));
      return false;
    }
    if (overflow || !signedInRange(number, range)) {
      context.fail(FormatMessage(Messages::outOfRange, text, name, range.typeName));
      return false;
    }
    bits = static_cast<std::uint64_t>(static_cast<std::int64_t>(number));
    return true;
  }
  const unsigned long long number = std::strtoull(begin, &end, 0);
  const bool overflow = errno == ERANGE;
  if (end != begin + text.size()) {
    context.fail(FormatMessage(Messages::incorrectFormat, text, name, range.typeName));
    return false;
  }
  // The C library negates "-1" into the largest number; a minus sign, also
  // after leading white space, is out of range for an unsigned target.
  std::size_t first = 0;
  while (first < text.size() && isCSpace(text[first])) ++first;
  const bool negative = first < text.size() && text[first] == '-';
  if (overflow || negative || number > range.maximum) {
    context.fail(FormatMessage(Messages::outOfRange, text, name, range.typeName));
    return false;
  }
  bits = number;
  return true;
}

// Parses an enum number given as text: the whole text in base 0, within the
// signed 32-bit range.
bool enumNumberFromText(const Value& source, std::int32_t& number) {
  const std::string_view text = source.getString();
  const char* begin = source.getCString();
  char* end = nullptr;
  errno = 0;
  const long long parsed = std::strtoll(begin, &end, 0);
  if (errno == ERANGE || end != begin + text.size()) return false;
  if (parsed < INT32_MIN || parsed > INT32_MAX) return false;
  number = static_cast<std::int32_t>(parsed);
  return true;
}

bool isEnumWidth(std::uint32_t size) { return size == 1 || size == 2 || size == 4 || size == 8; }

void writeEnum(void* target, std::uint32_t width, std::int32_t number) {
  switch (width) {
    case 1: *static_cast<std::int8_t*>(target) = static_cast<std::int8_t>(number); break;
    case 2: *static_cast<std::int16_t*>(target) = static_cast<std::int16_t>(number); break;
    case 4: *static_cast<std::int32_t*>(target) = number; break;
    case 8: *static_cast<std::int64_t*>(target) = number; break;
    default: break;
  }
}

bool isBase64Character(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' ||
         c == '=';
}

std::uint8_t base64Digit(char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<std::uint8_t>(c - 'A');
  if (c >= 'a' && c <= 'z') return static_cast<std::uint8_t>(c - 'a' + 26);
  if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0' + 52);
  return c == '+' ? 62 : 63;
}

// Characters up to the first "=": groups of four give three bytes, a final
// group of two or three gives one or two, a final single character nothing.
std::vector<std::uint8_t> decodeBase64(std::string_view text) {
  const std::size_t used = std::min(text.find('='), text.size());
  std::vector<std::uint8_t> bytes;
  bytes.reserve(used / 4 * 3 + 2);
  std::uint32_t group = 0;
  std::size_t count = 0;
  for (std::size_t index = 0; index < used; ++index) {
    group = (group << 6) | base64Digit(text[index]);
    if (++count == 4) {
      bytes.push_back(static_cast<std::uint8_t>(group >> 16));
      bytes.push_back(static_cast<std::uint8_t>(group >> 8));
      bytes.push_back(static_cast<std::uint8_t>(group));
      group = 0;
      count = 0;
    }
  }
  if (count == 2) {
    bytes.push_back(static_cast<std::uint8_t>(group >> 4));
  } else if (count == 3) {
    bytes.push_back(static_cast<std::uint8_t>(group >> 10));
    bytes.push_back(static_cast<std::uint8_t>(group >> 2));
  }
  return bytes;
}

bool isScalarElementKind(NativeKind kind) { return kind >= NativeKind::Bool && kind <= NativeKind::Object; }

template <class Container>
void assignTyped(ConversionContext& context, void* target, const Value& source, std::string_view name) {
  assignNative(context, *static_cast<Container*>(target), source, name);
}

template <template <class> class Container>
bool assignContainerOfScalars(ConversionContext& context, void* target, NativeKind elementKind, const Value& source,
                              std::string_view name) {
  return visitScalarNaturalType(elementKind, [&](auto element) {
    assignTyped<Container<typename decltype(element)::type>>(context, target, source, name);
  });
}

template <class E>
using VectorOf = std::vector<E>;
template <class E>
using MapOf = std::unordered_map<std::string, E>;

}  // namespace

// ---- Integers ------------------------------------------------------------------------------

bool integerFromValue(ConversionContext& context, const Value& source, std::string_view name, NativeKind kind,
                      std::uint64_t& bits) {
  if (!context.ok()) return false;
  const IntegerRange range = integerRange(kind);
  switch (source.kind()) {
    case ValueKind::Empty:
      context.fail(FormatMessage(Messages::required, name));
      return false;
    case ValueKind::Signed: {
      const std::int64_t number = source.getSigned();
      if (!signedInRange(number, range)) {
        context.fail(FormatMessage(Messages::outOfRange, number, name, range.typeName));
        return false;
      }
      bits = static_cast<std::uint64_t>(number);
      return true;
    }
    case ValueKind::Unsigned: {
      const std::uint64_t number = source.getUnsigned();
      if (number > range.maximum) {
        context.fail(FormatMessage(Messages::outOfRange, number, name, range.typeName));
        return false;
      }
      bits = number;
      return true;
    }
    case ValueKind::Float: {
      const double number = source.getFloat();
      // The range's maximum as a double rounds up for 64-bit targets; the
      // exclusive bound keeps the truncation defined. A NaN fails both.
      const double minimum = range.isSigned ? static_cast<double>(range.minimum) : 0.0;
      if (!(number >= minimum && number <= static_cast<double>(range.maximum) && number < range.bound)) {
        context.fail(FormatMessage(Messages::outOfRange, number, name, range.typeName));
        return false;
      }
      bits = range.isSigned ? static_cast<std::uint64_t>(static_cast<std::int64_t>(number))
                            : static_cast<std::uint64_t>(number);
      return true;
    }
    case ValueKind::String:
      return integerFromText(context, source, name, range, bits);
    case ValueKind::Enum: {
      const std::int32_t number = source.getEnum().number;
      if (!signedInRange(number, range)) {
        context.fail(FormatMessage(Messages::outOfRange, number, name, range.typeName));
        return false;
      }
      bits = static_cast<std::uint64_t>(static_cast<std::int64_t>(number));
      return true;
    }
    default:
      context.fail(FormatMessage(Messages::invalidType, name, range.typeName, kindName(source)));
      return false;
  }
}

void assignInteger(ConversionContext& context, void* target, NativeKind kind, const Value& source,
                   std::string_view name) {
  if (!context.ok()) {
    writeInteger(target, kind, 0);
    return;
  }
  std::uint64_t bits = 0;
  if (integerFromValue(context, source, name, kind, bits)) writeInteger(target, kind, bits);
}

// ---- Floating point -------------------------------------------------------------------------

bool floatingPointFromValue(ConversionContext& context, const Value& source, std::string_view name, NativeKind kind,
                            double& number) {
  if (!context.ok()) return false;
  const bool single = kind == NativeKind::Float;
  const double maximum = single ? 3.4028234663852886e38 : 1.7976931348623157e308;
  const char* typeName = single ? "float" : "double";
  switch (source.kind()) {
    case ValueKind::Empty:
      context.fail(FormatMessage(Messages::required, name));
      return false;
    case ValueKind::Signed:
      number = static_cast<double>(source.getSigned());
      return true;
    case ValueKind::Unsigned:
      number = static_cast<double>(source.getUnsigned());
      return true;
    case ValueKind::Float: {
      const double value = source.getFloat();
      if (value < -maximum || value > maximum) {
        context.fail(FormatMessage(Messages::outOfRange, value, name, typeName));
        return false;
      }
      number = value;
      return true;
    }
    case ValueKind::String: {
      const std::string_view text = source.getString();
      const char* begin = source.getCString();
      char* end = nullptr;
      errno = 0;
      const double value = std::strtod(begin, &end);
      const bool rangeError = errno == ERANGE;
      if (end != begin + text.size()) {
        context.fail(FormatMessage(Messages::incorrectFormat, text, name, typeName));
        return false;
      }
      if (rangeError || value < -maximum || value > maximum) {
        context.fail(FormatMessage(Messages::outOfRange, text, name, typeName));
        return false;
      }
      number = value;
      return true;
    }
    case ValueKind::Enum:
      number = source.getEnum().number;
      return true;
    default:
      context.fail(FormatMessage(Messages::invalidType, name, typeName, kindName(source)));
      return false;
  }
}

void assignFloatingPoint(ConversionContext& context, void* target, NativeKind kind, const Value& source,
                         std::string_view name) {
  // Entered after a failure the target gets 0; its own failure leaves it.
  double number = 0;
  if (context.ok() && !floatingPointFromValue(context, source, name, kind, number)) return;
  if (kind == NativeKind::Float) {
    *static_cast<float*>(target) = static_cast<float>(number);
  } else {
    *static_cast<double*>(target) = number;
  }
}

// ---- Bool, string, blob, object ---------------------------------------------------------------

void assignBool(ConversionContext& context, bool& target, const Value& source, std::string_view name) {
  if (!context.ok()) {
    target = false;
    return;
  }
  switch (source.kind()) {
    case ValueKind::Empty:
      context.fail(FormatMessage(Messages::required, name));
      return;
    case ValueKind::Bool:
      target = source.getBool();
      return;
    case ValueKind::String: {
      const std::string_view text = source.getString();
      if (text == "true" || text == "1") {
        target = true;
      } else if (text == "false" || text == "0") {
        target = false;
      } else {
        context.fail(FormatMessage(Messages::boolIncorrectFormat, text, name));
      }
      return;
    }
    default:
      context.fail(FormatMessage(Messages::boolInvalidType, name, kindName(source)));
      return;
  }
}

void assignString(ConversionContext& context, std::string& target, const Value& source, std::string_view name) {
  if (!context.ok()) {
    target.clear();
    return;
  }
  switch (source.kind()) {
    case ValueKind::Empty:
      target.clear();
      context.fail(FormatMessage(Messages::required, name));
      return;
    case ValueKind::String:
      target.assign(source.getString());
      return;
    case ValueKind::Enum: {
      const EnumValue& value = source.getEnum();
      const std::string* valueName = context.registry() != nullptr ? context.registry()->enumName(value) : nullptr;
      if (valueName == nullptr) {
        target.clear();
        context.fail(FormatMessage(Messages::stringEnumerationValue, value.number, name));
        return;
      }
      target = *valueName;
      return;
    }
    default:
      target.clear();
      context.fail(FormatMessage(Messages::notAString, name));
      return;
  }
}

void assignBlob(ConversionContext& context, std::vector<std::uint8_t>& target, const Value& source,
                std::string_view name) {
  if (!context.ok()) {
    target.clear();
    return;
  }
  switch (source.kind()) {
    case ValueKind::Empty:
      context.fail(FormatMessage(Messages::required, name));
      return;
    case ValueKind::String: {
      const std::string_view text = source.getString();
      for (const char c : text) {
        if (!isBase64Character(c)) {
          context.fail(FormatMessage(Messages::invalidBase64, name));
          return;
        }
      }
      target = decodeBase64(text);
      return;
    }
    case ValueKind::Blob: {
      const auto bytes = source.getBlob();
      target.assign(bytes.begin(), bytes.end());
      return;
    }
    default:
      context.fail(FormatMessage(Messages::notABlob, name));
      return;
  }
}

void assignObject(ConversionContext& context, Value& target, const Value& source, std::string_view) {
  if (!context.ok()) {
    target.setEmpty();
    return;
  }
  target = source;
}

// ---- Enums --------------------------------------------------------------------------------------

bool enumFromValue(ConversionContext& context, const Value& source, std::string_view name,
                   const TypeDescription* enumType, std::int32_t& number) {
  if (!context.ok()) return false;
  if (source.isEmpty()) {
    context.fail(FormatMessage(Messages::required, name));
    return false;
  }
  if (enumType == nullptr || !enumType->isEnum) {
    context.fail(FormatMessage(Messages::enumUnregistered, name));
    return false;
  }
  const std::string& typeName = enumType->name;
  switch (source.kind()) {
    case ValueKind::Signed: {
      const std::int64_t value = source.getSigned();
      if (value >= INT32_MIN && value <= INT32_MAX && enumType->declaresEnumValue(static_cast<std::int32_t>(value))) {
        number = static_cast<std::int32_t>(value);
        return true;
      }
      context.fail(FormatMessage(Messages::enumerationValue, value, typeName, name));
      return false;
    }
    case ValueKind::Unsigned: {
      const std::uint64_t value = source.getUnsigned();
      if (value <= INT32_MAX && enumType->declaresEnumValue(static_cast<std::int32_t>(value))) {
        number = static_cast<std::int32_t>(value);
        return true;
      }
      context.fail(FormatMessage(Messages::enumerationValue, value, typeName, name));
      return false;
    }
    case ValueKind::String: {
      const std::string_view text = source.getString();
      if (const EnumValueDescription* named = enumType->findEnumName(text)) {
        number = named->value;
        return true;
      }
      std::int32_t parsed = 0;
      if (enumNumberFromText(source, parsed) && enumType->declaresEnumValue(parsed)) {
        number = parsed;
        return true;
      }
      context.fail(FormatMessage(Messages::enumerationValue, text, typeName, name));
      return false;
    }
    case ValueKind::Enum: {
      const std::int32_t value = source.getEnum().number;
      if (enumType->declaresEnumValue(value)) {
        number = value;
        return true;
      }
      context.fail(FormatMessage(Messages::enumerationValue, value, typeName, name));
      return false;
    }
    default:
      context.fail(FormatMessage(Messages::enumInvalidType, name, kindName(source)));
      return false;
  }
}

void assignEnum(ConversionContext& context, void* target, const TypeDescription* enumType, const Value& source,
                std::string_view name) {
  const std::uint32_t width = enumType != nullptr ? enumType->size : 0;
  if (!context.ok()) {
    writeEnum(target, width, 0);
    return;
  }
  if (enumType != nullptr && !isEnumWidth(width)) {
    context.fail(FormatMessage(Messages::enumWidth, name, enumType->name, width));
    return;
  }
  std::int32_t number = 0;
  if (enumFromValue(context, source, name, enumType, number)) writeEnum(target, width, number);
}

// ---- Structs and members ----------------------------------------------------------------------------

void assignStruct(ConversionContext& context, void* record, const Value& source, std::string_view name,
                  const TypeDescription* structType) {
  if (!context.ok()) return;
  if (source.isEmpty()) {
    context.fail(FormatMessage(Messages::required, name));
    return;
  }
  if (structType == nullptr || structType->isEnum) {
    context.fail(FormatMessage(Messages::unregisteredStructure, name));
    return;
  }
  if (source.kind() != ValueKind::Structure) {
    context.fail(FormatMessage(Messages::structNotStructure, name, structType->name));
    return;
  }
  const NestingLevel level(context, name);
  if (!level) return;
  for (const FieldDescription& field : structType->fields) {
    if (!context.ok()) break;
    const Value& member = source.member(field.name);
    if (!member.isEmpty()) {
      assignMember(context, record, member, field);
    } else if ((field.flags & requiredField) != 0) {
      context.fail(FormatMessage(Messages::missingRequiredField, name, structType->name, field.name));
    }
  }
}

void assignMember(ConversionContext& context, void* record, const Value& source, const FieldDescription& field) {
  void* member = static_cast<unsigned char*>(record) + field.offset;
  if (field.custom || !hasBuiltInRule(field.type)) {
    if (field.converter != nullptr) {
      field.converter->assign(context, member, source, field.name);
    } else {
      context.fail(FormatMessage(Messages::noConverter, field.name, nativeKindName(field.type.kind)));
    }
    return;
  }
  assignByType(context, member, field.type, source, field.name);
}

bool hasBuiltInRule(const TypeRef& type) {
  switch (type.kind) {
    case NativeKind::Vector:
    case NativeKind::Map:
      return isScalarElementKind(type.elementKind);
    case NativeKind::Blob:
    case NativeKind::Callback:
    case NativeKind::None:
      return false;
    default:
      return static_cast<std::uint32_t>(type.kind) < nativeKindCount;
  }
}

bool assignByType(ConversionContext& context, void* target, const TypeRef& type, const Value& source,
                  std::string_view name) {
  switch (type.kind) {
    case NativeKind::Bool:
      assignBool(context, *static_cast<bool*>(target), source, name);
      return true;
    case NativeKind::Int8:
    case NativeKind::UInt8:
    case NativeKind::Int16:
    case NativeKind::UInt16:
    case NativeKind::Int32:
    case NativeKind::UInt32:
    case NativeKind::Int64:
    case NativeKind::UInt64:
      assignInteger(context, target, type.kind, source, name);
      return true;
    case NativeKind::Float:
    case NativeKind::Double:
      assignFloatingPoint(context, target, type.kind, source, name);
      return true;
    case NativeKind::String:
      assignString(context, *static_cast<std::string*>(target), source, name);
      return true;
    case NativeKind::Object:
      assignObject(context, *static_cast<Value*>(target), source, name);
      return true;
    case NativeKind::Enum:
      assignEnum(context, target, TypeRegistry::resolve(type, context.registry()), source, name);
      return true;
    case NativeKind::Struct:
      assignStruct(context, target, source, name, TypeRegistry::resolve(type, context.registry()));
      return true;
    case NativeKind::Vector:
      return assignContainerOfScalars<VectorOf>(context, target, type.elementKind, source, name);
    case NativeKind::Map:
      return assignContainerOfScalars<MapOf>(context, target, type.elementKind, source, name);
    default:
      return false;
  }
}

}  // namespace Quor
