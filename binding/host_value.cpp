#include "binding/host_value.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <iterator>
#include <limits>
#include <new>
#include <stdexcept>
#include <vector>

#include "binding/conversion_context.h"
#include "binding/format_message.h"
#include "binding/library_allocator.h"
#include "binding/type_registry.h"

namespace Quor {

namespace {

constexpr const char* incompatibleTypeMessage =
    "Couldn't assign value to '%1' of type object because the input is of an incompatible type '%2'.";
constexpr const char* missingDataMessage =
    "Couldn't assign value to '%1' of type object because the input %2 has %3 entries but no data.";
constexpr const char* tooManyElementsMessage =
    "Couldn't assign value to '%1' of type object because the input %2 has %3 entries, more than a value can hold.";
constexpr const char* tooLargeMessage =
    "Couldn't assign value to '%1' of type object because the input has more entries than a value can hold.";
constexpr const char* nestedTooDeeplyMessage =
    "Couldn't assign value to '%1' of type object because the input is nested deeper than %2 levels.";
constexpr const char* valueNestedTooDeeplyMessage =
    "Couldn't convert value for the core because it is nested deeper than %1 levels.";
constexpr const char* outOfMemoryMessage = "Couldn't convert value for the core because memory ran out.";

constexpr std::uint32_t code(HostValueKind kind) { return static_cast<std::uint32_t>(kind); }

// ---- Core to Value ----------------------------------------------------------------

class FromHost {
 public:
  explicit FromHost(std::string_view name) : name_(name) {}

  bool convert(Value& target, const HostValue& source, std::size_t depth) {
    const std::uint32_t type = source.type;
    const HostValueBuffer buffer = source.payload.buffer;
    switch (type) {
      case code(HostValueKind::Empty):
        target.setEmpty();
        return true;
      case code(HostValueKind::Bool):
        target.setBool(source.payload.boolean != 0);
        return true;
      case code(HostValueKind::Signed):
        target.setSigned(static_cast<std::int64_t>(source.payload.signedValue));
        return true;
      case code(HostValueKind::Unsigned):
        target.setUnsigned(static_cast<std::uint64_t>(source.payload.unsignedValue));
        return true;
      case code(HostValueKind::Float):
        target.setFloat(static_cast<double>(source.payload.floatValue));
        return true;
      case code(HostValueKind::BorrowedString):
      case code(HostValueKind::OwnedString):
        // The length field is not trusted: the text ends at its zero byte.
        target.setString(static_cast<const char*>(buffer.data));
        return true;
      case code(HostValueKind::BorrowedBlob):
      case code(HostValueKind::OwnedBlob):
        if (buffer.data == nullptr && buffer.count != 0) return missingData(type, buffer.count);
        target.setBlob(buffer.data, buffer.count);
        return true;
      case code(HostValueKind::Collection):
        return convertCollection(target, buffer, depth);
      case code(HostValueKind::Structure):
        return convertStructure(target, buffer, depth);
      default:
        return fail(FormatMessage(incompatibleTypeMessage, name_, hostValueKindName(type)));
    }
  }

  const std::string& message() const { return message_; }

 private:
  bool convertCollection(Value& target, const HostValueBuffer& buffer, std::size_t depth) {
    if (!checkContainer(buffer, code(HostValueKind::Collection), depth)) return false;
    target.setEmpty();
    target.makeCollection();
    // The count is the core's word: room grows with the elements actually
    // converted rather than being taken for all of them up front.
    target.reserve(std::min<std::uint32_t>(buffer.count, 1024));
    const auto* elements = static_cast<const HostValue*>(buffer.data);
    for (std::uint32_t index = 0; index < buffer.count; ++index) {
      if (!convert(target.writeElement(index), elements[index], depth + 1)) return false;
    }
    return true;
  }

  bool convertStructure(Value& target, const HostValueBuffer& buffer, std::size_t depth) {
    if (!checkContainer(buffer, code(HostValueKind::Structure), depth)) return false;
    target.setEmpty();
    target.makeStructure();
    const auto* members = static_cast<const HostStructMember*>(buffer.data);
    for (std::uint32_t index = 0; index < buffer.count; ++index) {
      const char* memberName = members[index].name;
      Value& member = target.writeMember(memberName != nullptr ? std::string_view(memberName) : std::string_view());
      if (!convert(member, members[index].value, depth + 1)) return false;
    }
    return true;
  }

  bool checkContainer(const HostValueBuffer& buffer, std::uint32_t type, std::size_t depth) {
    if (depth >= maxConversionDepth) {
      return fail(FormatMessage(nestedTooDeeplyMessage, name_, static_cast<std::uint32_t>(maxConversionDepth)));
    }
    if (buffer.data == nullptr && buffer.count != 0) return missingData(type, buffer.count);
    if (buffer.count > Value::maxReserve) {
      return fail(FormatMessage(tooManyElementsMessage, name_, hostValueKindName(type), buffer.count));
    }
    return true;
  }

  bool missingData(std::uint32_t type, std::uint32_t count) {
    return fail(FormatMessage(missingDataMessage, name_, hostValueKindName(type), count));
  }

  bool fail(std::string message) {
    message_ = std::move(message);
    return false;
  }

  std::string_view name_;
  std::string message_;
};

// ---- Value to core ----------------------------------------------------------------

class ToHost {
 public:
  explicit ToHost(const TypeRegistry* registry) : registry_(registry) {}

  bool convert(HostValue& target, const Value& source, std::size_t depth) {
    releaseHostValue(target);
    switch (source.kind()) {
      case ValueKind::Empty:
        return true;
      case ValueKind::Bool:
        target.type = code(HostValueKind::Bool);
        target.payload.boolean = source.getBool() ? 1 : 0;
        return true;
      case ValueKind::Signed:
        target.type = code(HostValueKind::Signed);
        target.payload.signedValue = source.getSigned();
        return true;
      case ValueKind::Unsigned:
        target.type = code(HostValueKind::Unsigned);
        target.payload.unsignedValue = source.getUnsigned();
        return true;
      case ValueKind::Float:
        target.type = code(HostValueKind::Float);
        target.payload.floatValue = source.getFloat();
        return true;
      case ValueKind::String:
        return ownedText(target, source.getString());
      case ValueKind::Blob:
        return ownedBlob(target, source.getBlob());
      case ValueKind::Enum: {
        const EnumValue& value = source.getEnum();
        if (registry_ != nullptr) {
          if (const std::string* valueName = registry_->enumName(value)) return ownedText(target, *valueName);
        }
        target.type = code(HostValueKind::Signed);
        target.payload.signedValue = value.number;
        return true;
      }
      case ValueKind::Collection:
        return convertCollection(target, source, depth);
      case ValueKind::Structure:
        return convertStructure(target, source, depth);
    }
    return true;
  }

  const std::string& message() const { return message_; }

 private:
  bool convertCollection(HostValue& target, const Value& source, std::size_t depth) {
    if (!checkDepth(depth)) return false;
    const auto elements = source.elements();
    HostValue* array = nullptr;
    if (!elements.empty() && (array = allocateZeroed<HostValue>(elements.size())) == nullptr) return outOfMemory();
    target.type = code(HostValueKind::Collection);
    target.payload.buffer = HostValueBuffer{array, static_cast<std::uint32_t>(elements.size())};
    for (std::size_t index = 0; index < elements.size(); ++index) {
      if (!convert(array[index], elements[index], depth + 1)) return false;
    }
    return true;
  }

  bool convertStructure(HostValue& target, const Value& source, std::size_t depth) {
    if (!checkDepth(depth)) return false;
    const std::size_t count = source.size();
    HostStructMember* array = nullptr;
    if (count != 0 && (array = allocateZeroed<HostStructMember>(count)) == nullptr) return outOfMemory();
    target.type = code(HostValueKind::Structure);
    target.payload.buffer = HostValueBuffer{array, static_cast<std::uint32_t>(count)};
    std::size_t index = 0;
    for (const MemberView member : source.members()) {
      HostStructMember& record = array[index++];
      char* memberName = copyText(member.name);
      if (memberName == nullptr) return outOfMemory();
      record.name = memberName;
      record.ownsName = 1;
      if (!convert(record.value, member.value, depth + 1)) return false;
    }
    return true;
  }

  bool ownedText(HostValue& target, std::string_view text) {
    // The core reads a text up to its zero byte.
    const std::size_t length = std::min(text.find('\0'), text.size());
    char* copy = copyText(text.substr(0, length));
    if (copy == nullptr) return outOfMemory();
    target.type = code(HostValueKind::OwnedString);
    target.payload.buffer = HostValueBuffer{copy, static_cast<std::uint32_t>(length)};
    return true;
  }

  bool ownedBlob(HostValue& target, std::span<const std::uint8_t> bytes) {
    void* copy = nullptr;
    if (!bytes.empty()) {
      copy = libraryAllocate(bytes.size());
      if (copy == nullptr) return outOfMemory();
      std::memcpy(copy, bytes.data(), bytes.size());
    }
    target.type = code(HostValueKind::OwnedBlob);
    target.payload.buffer = HostValueBuffer{copy, static_cast<std::uint32_t>(bytes.size())};
    return true;
  }

  static char* copyText(std::string_view text) {
    auto* copy = static_cast<char*>(libraryAllocate(text.size() + 1));
    if (copy == nullptr) return nullptr;
    if (!text.empty()) std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
  }

  template <class Record>
  static Record* allocateZeroed(std::size_t count) {
    if (count > std::numeric_limits<std::size_t>::max() / sizeof(Record)) return nullptr;
    void* block = libraryAllocate(count * sizeof(Record));
    if (block != nullptr) std::memset(block, 0, count * sizeof(Record));
    return static_cast<Record*>(block);
  }

  bool checkDepth(std::size_t depth) {
    if (depth < maxConversionDepth) return true;
    message_ = FormatMessage(valueNestedTooDeeplyMessage, static_cast<std::uint32_t>(maxConversionDepth));
    return false;
  }

  bool outOfMemory() {
    message_ = outOfMemoryMessage;
    return false;
  }

  const TypeRegistry* registry_;
  std::string message_;
};

}  // namespace

const char* hostValueKindName(std::uint32_t typeCode) {
  static const char* const names[] = {"",       "bool",   "signed", "unsigned",   "float",    "string",
                                      "string", "blob",   "blob",   "collection", "structure"};
  return typeCode < std::size(names) ? names[typeCode] : "";
}

namespace {

bool isContainer(std::uint32_t type) {
  return type == code(HostValueKind::Collection) || type == code(HostValueKind::Structure);
}

// Frees an owned text or blob; other leaves own nothing.
void releaseLeaf(const HostValue& value) noexcept {
  if (value.type == code(HostValueKind::OwnedString) || value.type == code(HostValueKind::OwnedBlob)) {
    libraryFree(value.payload.buffer.data);
  }
}

// Frees one container's array after handing its container children to
// pending (by value, so the array can go at once) and releasing the rest.
template <class Pending>
void releaseArray(const HostValue& container, Pending& pending) {
  const HostValueBuffer buffer = container.payload.buffer;
  if (buffer.data == nullptr) return;
  const auto take = [&](const HostValue& child) {
    if (isContainer(child.type)) {
      pending.push_back(child);
    } else {
      releaseLeaf(child);
    }
  };
  if (container.type == code(HostValueKind::Collection)) {
    const auto* elements = static_cast<const HostValue*>(buffer.data);
    for (std::uint32_t index = 0; index < buffer.count; ++index) take(elements[index]);
  } else {
    const auto* members = static_cast<const HostStructMember*>(buffer.data);
    for (std::uint32_t index = 0; index < buffer.count; ++index) {
      if (members[index].ownsName != 0) libraryFree(const_cast<char*>(members[index].name));
      take(members[index].value);
    }
  }
  libraryFree(buffer.data);
}

}  // namespace

void releaseHostValue(HostValue& value) noexcept {
  const HostValue root = value;
  std::memset(&value, 0, sizeof value);
  if (!isContainer(root.type)) {
    releaseLeaf(root);
    return;
  }
  // Without recursion, so that no nesting of a record can exhaust the stack.
  try {
    std::vector<HostValue> pending{root};
    while (!pending.empty()) {
      const HostValue container = pending.back();
      pending.pop_back();
      releaseArray(container, pending);
    }
  } catch (...) {
    // Only memory for the work list can run out; what is left stays allocated.
  }
}

bool hostValueToValue(HostErrorSink& sink, Value& target, const HostValue& source, std::string_view name) {
  FromHost conversion(name);
  bool converted = false;
  bool outOfMemory = false;
  try {
    converted = conversion.convert(target, source, 0);
  } catch (const std::length_error&) {
    // Value refuses more elements than a tree can hold. The counts are
    // checked before, so this only guards the boundary.
    converted = false;
  } catch (const std::bad_alloc&) {
    outOfMemory = true;
  }
  if (converted) return true;
  // The sink is written only now, after the source has been read entirely:
  // the source may live inside the sink's own body.
  const std::string message = outOfMemory                    ? std::string(outOfMemoryMessage)
                              : conversion.message().empty() ? FormatMessage(tooLargeMessage, name)
                                                             : conversion.message();
  releaseHostValue(sink.body);
  if (sink.errorMessageOwned != 0) libraryFree(sink.errorMessage);
  sink.errorMessage = libraryDuplicateText(message.c_str());
  sink.errorMessageOwned = sink.errorMessage != nullptr ? 1 : 0;
  return false;
}

bool hostValueToValue(Value& target, const HostValue& source, std::string_view name, std::string* error) {
  HostErrorSink sink;
  std::memset(static_cast<void*>(&sink), 0, sizeof sink);
  if (hostValueToValue(sink, target, source, name)) return true;
  if (error != nullptr && sink.errorMessage != nullptr) *error = sink.errorMessage;
  if (sink.errorMessageOwned != 0) libraryFree(sink.errorMessage);
  return false;
}

bool valueToHostValue(HostValue& target, const Value& source, const TypeRegistry* registry, std::string* error) {
  ToHost conversion(registry);
  if (conversion.convert(target, source, 0)) return true;
  if (error != nullptr) *error = conversion.message();
  return false;
}

}  // namespace Quor
