#include "remoting/argument_binding.h"

#include <cstring>
#include <string>

#include "binding/conversion_messages.h"
#include "binding/format_message.h"
#include "binding/host_value.h"
#include "binding/nesting_limit.h"
#include "remoting/body_decoding.h"
#include "remoting/dispatch_messages.h"
#include "remoting/text_assignment.h"

namespace Quor {

namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool isStructuredKind(NativeKind kind) {
  return kind == NativeKind::Object || kind == NativeKind::Vector || kind == NativeKind::Struct;
}

enum class IndexParse { Ok, IncorrectFormat, OutOfRange };

int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

// An element number in C notation, as strtoul with base 0 reads it: every
// digit of the base is taken, characters left after them are a format
// error, and a number beyond 31 bits is out of range.
IndexParse parseIndex(std::string_view segment, std::uint32_t& index) {
  unsigned base = 10;
  std::size_t position = 0;
  if (segment.size() > 2 && segment[0] == '0' && (segment[1] == 'x' || segment[1] == 'X') &&
      digitValue(segment[2]) < 16) {
    base = 16;
    position = 2;
  } else if (segment[0] == '0') {
    base = 8;
  }
  std::uint64_t value = 0;
  bool overflow = false;
  for (; position < segment.size(); ++position) {
    const int digit = digitValue(segment[position]);
    if (digit >= static_cast<int>(base)) break;
    value = value * base + static_cast<unsigned>(digit);
    if (value > 0x7FFFFFFFu) {
      overflow = true;
      value = 0x80000000u;
    }
  }
  if (position != segment.size()) return IndexParse::IncorrectFormat;
  if (overflow) return IndexParse::OutOfRange;
  index = static_cast<std::uint32_t>(value);
  return IndexParse::Ok;
}

}  // namespace

ArgumentBinding::ArgumentBinding(const FunctionDescription& function, const FunctionRegistration& registration,
                                 std::vector<Value>& arguments, RemotingResponse& response)
    : function_(function), registration_(registration), arguments_(arguments), response_(response) {
  arguments_.resize(function_.parameters.size());
  for (std::size_t index = 0; index < function_.parameters.size(); ++index) {
    const ParameterDescription& parameter = function_.parameters[index];
    if (parameter.type.kind == NativeKind::Bool && !parameter.optional && arguments_[index].isEmpty()) {
      arguments_[index].setBool(false);
    }
  }
}

std::optional<std::size_t> ArgumentBinding::findParameter(std::string_view name) const {
  for (std::size_t index = 0; index < function_.parameters.size(); ++index) {
    if (function_.parameters[index].name == name) return index;
  }
  return std::nullopt;
}

void ArgumentBinding::bindText(std::string_view key, std::string_view text, ArgumentLocation source) {
  const std::size_t dot = key.find('.');
  const std::string_view baseName = key.substr(0, dot);
  const std::optional<std::size_t> found = findParameter(baseName);
  if (!found) {
    fail(FormatMessage(DispatchMessages::unknownArgument, baseName, function_.name));
    return;
  }
  const ArgumentLocation location = registration_.locationOf(*found);
  if (location != ArgumentLocation::Any && location != source) {
    fail(FormatMessage(DispatchMessages::invalidLocation, baseName, function_.name));
    return;
  }
  if (dot != std::string_view::npos) {
    bindIndexPath(*found, baseName, key.substr(dot + 1), text);
    return;
  }

  const ParameterDescription& parameter = function_.parameters[*found];
  Value& argument = arguments_[*found];
  if (!text.empty()) {
    assignText(response_, argument, text, parameter.name, function_.name, {}, isStructuredKind(parameter.type.kind));
    return;
  }
  switch (parameter.type.kind) {
    case NativeKind::Bool:
      argument.setBool(true);
      break;
    case NativeKind::Vector:
      argument.setEmpty();
      argument.makeCollection();
      break;
    case NativeKind::Object:
      argument.setEmpty();
      argument.makeStructure();
      break;
    default:
      fail(FormatMessage(DispatchMessages::expectedValue, parameter.name));
      break;
  }
}

void ArgumentBinding::bindIndexPath(std::size_t parameter, std::string_view baseName, std::string_view indexPath,
                                    std::string_view text) {
  // Each segment is one level of the argument's tree; trees deeper than the
  // readers allow could not be copied or released safely.
  std::size_t levels = 1;
  for (const char c : indexPath) levels += c == '.' ? 1 : 0;
  if (levels > maxNestingDepth) {
    fail(FormatMessage(ConversionMessages::nestedTooDeeply, baseName, static_cast<std::uint32_t>(maxNestingDepth)));
    return;
  }

  Value* target = &arguments_[parameter];
  std::string_view segment;
  while (true) {
    const std::size_t dot = indexPath.find('.');
    segment = indexPath.substr(0, dot);
    if (!segment.empty() && segment.front() >= '0' && segment.front() <= '9') {
      std::uint32_t index = 0;
      const IndexParse parsed = parseIndex(segment, index);
      if (parsed == IndexParse::IncorrectFormat) {
        fail(FormatMessage(DispatchMessages::indexIncorrectFormat, segment));
        return;
      }
      const std::size_t size = target->kind() == ValueKind::Collection ? target->size() : 0;
      const std::size_t added = index >= size ? std::size_t{index} + 1 - size : 0;
      if (parsed == IndexParse::OutOfRange || added > indexedElementsLeft_) {
        fail(FormatMessage(DispatchMessages::indexOutOfRange, segment));
        return;
      }
      indexedElementsLeft_ -= added;
      target = &target->writeElement(index);
    } else {
      target = &target->writeMember(segment);
    }
    if (dot == std::string_view::npos) break;
    indexPath.remove_prefix(dot + 1);
  }
  assignText(response_, *target, text, segment, function_.name, {}, false);
}

void ArgumentBinding::bindHeaders(const HostHeader* headers, std::uint32_t count) {
  if (headers == nullptr || count == 0) return;
  std::string lowerName;
  for (std::size_t index = 0; index < function_.parameters.size(); ++index) {
    if (!response_.result.ok()) return;
    const ArgumentLocation location = registration_.locationOf(index);
    if (location != ArgumentLocation::Any && location != ArgumentLocation::Header) continue;
    const std::string& name = function_.parameters[index].name;
    lowerName.assign(name);
    for (char& c : lowerName) c = lowerAscii(c);
    // The last header of a name is the one that counts.
    for (std::uint32_t position = count; position-- > 0;) {
      const HostHeader& header = headers[position];
      if (header.name == nullptr || lowerName != header.name) continue;
      bindText(name, header.value != nullptr ? header.value : "", ArgumentLocation::Header);
      break;
    }
  }
}

void ArgumentBinding::bindTypedArguments(const HostRequestArgument* entries, std::uint32_t count,
                                         std::size_t pathParameterCount) {
  if (entries == nullptr) return;
  for (std::uint32_t position = 0; position < count; ++position) {
    if (!response_.result.ok()) return;
    const HostRequestArgument& entry = entries[position];
    std::optional<std::size_t> parameter;
    if (entry.name != nullptr) {
      parameter = findParameter(entry.name);
      if (!parameter) {
        fail(FormatMessage(DispatchMessages::unknownArgument, entry.name, function_.name));
        return;
      }
    } else {
      const std::uint64_t index = std::uint64_t{position} + pathParameterCount;
      if (index >= function_.parameters.size()) {
        fail(FormatMessage(DispatchMessages::unknownArgument, index, function_.name));
        return;
      }
      parameter = static_cast<std::size_t>(index);
    }
    std::string error;
    if (!hostValueToValue(arguments_[*parameter], entry.value, function_.parameters[*parameter].name, &error)) {
      fail(error);
      return;
    }
  }
}

void ArgumentBinding::bindBody(const HostRequest& request) {
  if (request.body == nullptr) return;
  std::optional<std::size_t> parameter;
  for (std::size_t index = 0; index < function_.parameters.size(); ++index) {
    if (registration_.locationOf(index) == ArgumentLocation::Body) {
      parameter = index;
      break;
    }
  }
  if (!parameter) return;
  const std::string_view contentType = request.contentType != nullptr ? request.contentType : "";
  ValueResult decoded = decodeBody(contentType, request.body, request.bodyLength);
  if (!decoded.ok()) {
    fail(std::string(decoded.error()));
    return;
  }
  arguments_[*parameter] = std::move(decoded.value());
}

}  // namespace Quor
