#include "registration_answer.h"

#include <optional>
#include <unordered_set>

#include "binding/native_kind.h"
#include "formats/json_writer.h"
#include "steps.h"

namespace PluginHost {
namespace {

// Paths and templates longer than this are not matched.
constexpr std::size_t longestMatchedPath = 4096;

// Template and path positions from which the rest is known not to match, so
// backtracking visits each pair once.
using FailedPositions = std::unordered_set<std::uint64_t>;

// Matches template[t..] against path[p..]: "{name}" takes a run without "/",
// "{+name}" any rest, "{#name}" a "#" and any rest; everything else is
// literal. Answers the characters the parameters took, or nothing.
std::optional<std::size_t> matchTemplate(std::string_view pattern, std::size_t t, std::string_view path,
                                         std::size_t p, FailedPositions& failed) {
  while (t < pattern.size()) {
    if (pattern[t] != '{') {
      if (p >= path.size() || path[p] != pattern[t]) return std::nullopt;
      ++t;
      ++p;
      continue;
    }
    const std::size_t close = pattern.find('}', t);
    if (close == std::string_view::npos) return std::nullopt;
    const std::uint64_t position = (static_cast<std::uint64_t>(t) << 32) | p;
    if (failed.contains(position)) return std::nullopt;
    const char marker = close > t + 1 ? pattern[t + 1] : '\0';
    const std::size_t rest = close + 1;
    std::size_t start = p;
    const bool acrossSlashes = marker == '+' || marker == '#';
    if (marker == '#') {
      if (p >= path.size() || path[p] != '#') return std::nullopt;
      start = p + 1;
    }
    std::size_t end = start;
    while (end < path.size() && (acrossSlashes || path[end] != '/')) ++end;
    // Longest first, as a greedy regular expression would.
    for (std::size_t taken = end + 1; taken-- > start;) {
      if (const std::optional<std::size_t> inner = matchTemplate(pattern, rest, path, taken, failed)) {
        return *inner + (taken - start);
      }
    }
    failed.insert(position);
    return std::nullopt;
  }
  return p == path.size() ? std::optional<std::size_t>(0) : std::nullopt;
}

const Quor::HostEndpoint* bestEndpoint(const Quor::HostRegistrationAnswer& answer, std::uint32_t method,
                                       std::string_view path) {
  const Quor::HostEndpoint* best = nullptr;
  std::size_t bestTaken = 0;
  for (std::uint32_t index = 0; index < answer.endpointCount; ++index) {
    const Quor::HostEndpoint& endpoint = answer.endpoints[index];
    if (endpoint.method != 0 && endpoint.method != method) continue;
    if (endpoint.pathTemplate == nullptr) continue;
    const std::string_view pattern = endpoint.pathTemplate;
    if (pattern.size() > longestMatchedPath) continue;
    FailedPositions failed;
    const std::optional<std::size_t> taken = matchTemplate(pattern, 0, path, 0, failed);
    if (taken && (best == nullptr || *taken < bestTaken)) {
      best = &endpoint;
      bestTaken = *taken;
    }
  }
  return best;
}

const char* text(const char* value) { return value != nullptr ? value : ""; }

const char* locationName(std::uint32_t code) {
  static const char* const names[] = {"any", "query", "path", "unread", "header", "body"};
  return code < 6 ? names[code] : "any";
}

void writeKind(Quor::JsonWriter& writer, std::uint32_t kind) {
  const char* name = kind == 0 ? "none" : Quor::nativeKindName(kind);
  if (*name != '\0') {
    writer.string(name);
  } else {
    writer.unsignedInteger(kind);
  }
}

// A type reference: {"kind":"vector","elementKind":"struct","typeName":"X"},
// the last two only when set.
void writeTypeRef(Quor::JsonWriter& writer, std::uint32_t kind, std::uint32_t elementKind, const char* typeName) {
  writer.startObject();
  writer.key("kind");
  writeKind(writer, kind);
  if (elementKind != 0) {
    writer.key("elementKind");
    writeKind(writer, elementKind);
  }
  if (typeName != nullptr && *typeName != '\0') {
    writer.key("typeName");
    writer.string(typeName);
  }
  writer.endObject();
}

void writeTags(Quor::JsonWriter& writer, const char* const* tags, std::uint32_t count) {
  writer.key("tags");
  writer.startArray();
  for (std::uint32_t index = 0; tags != nullptr && index < count; ++index) writer.string(text(tags[index]));
  writer.endArray();
}

void writeText(Quor::JsonWriter& writer, std::string_view name, const char* value) {
  writer.key(name);
  writer.string(text(value));
}

void writeEndpoint(Quor::JsonWriter& writer, const Quor::HostEndpoint& endpoint) {
  const Quor::HostFunctionDescription& function = endpoint.description;
  writer.startObject();
  writer.key("method");
  const char* method = requestMethodText(endpoint.method);
  if (*method != '\0') {
    writer.string(method);
  } else {
    writer.unsignedInteger(endpoint.method);
  }
  if (endpoint.customMethod != nullptr && *endpoint.customMethod != '\0') {
    writeText(writer, "customMethod", endpoint.customMethod);
  }
  writeText(writer, "path", endpoint.pathTemplate);
  writeText(writer, "function", function.name);
  writeText(writer, "nameSpace", function.nameSpace);
  writeText(writer, "description", function.description);
  writeText(writer, "help", function.help);
  writer.key("parameters");
  writer.startArray();
  const Quor::HostParameterLocation* location = endpoint.parameterLocations;
  for (std::uint32_t index = 0; function.arguments != nullptr && index < function.argumentCount; ++index) {
    const Quor::HostArgumentDescription& argument = function.arguments[index];
    writer.startObject();
    writeText(writer, "name", argument.name);
    writeText(writer, "description", argument.description);
    writer.key("type");
    writeTypeRef(writer, argument.kind, argument.elementKind, argument.typeName);
    writer.key("optional");
    writer.boolean(argument.optional != 0);
    writer.key("location");
    writer.string(locationName(location != nullptr ? location->location : 0));
    writer.endObject();
    if (location != nullptr) location = location->next;
  }
  writer.endArray();
  writer.key("returns");
  writeTypeRef(writer, function.returnKind, function.returnElementKind, function.returnTypeName);
  if (function.asyncTypeName != nullptr && *function.asyncTypeName != '\0') {
    writeText(writer, "asyncType", function.asyncTypeName);
  }
  writer.key("threadSafe");
  writer.boolean(function.threadSafe != 0);
  writeTags(writer, function.tags, function.tagCount);
  writer.key("flag");
  writer.unsignedInteger(endpoint.flag);
  if (endpoint.textLists != nullptr && endpoint.textListCount != 0) {
    writer.key("textLists");
    writer.startArray();
    for (std::uint32_t index = 0; index < endpoint.textListCount; ++index) {
      const Quor::HostTextList& list = endpoint.textLists[index];
      writer.startArray();
      for (std::uint32_t item = 0; list.texts != nullptr && item < list.count; ++item) writer.string(text(list.texts[item]));
      writer.endArray();
    }
    writer.endArray();
  }
  writer.endObject();
}

void writeType(Quor::JsonWriter& writer, const Quor::HostTypeDescription& type) {
  writer.startObject();
  writeText(writer, "name", type.name);
  writeText(writer, "nameSpace", type.nameSpace);
  writer.key("size");
  writer.unsignedInteger(type.size);
  writeText(writer, "description", type.description);
  writeTags(writer, type.tags, type.tagCount);
  if (type.fields != nullptr) {
    writer.key("fields");
    writer.startArray();
    for (std::uint32_t index = 0; index < type.count; ++index) {
      const Quor::HostFieldDescription& field = type.fields[index];
      writer.startObject();
      writeText(writer, "name", field.name);
      writeText(writer, "description", field.description);
      writer.key("offset");
      writer.unsignedInteger(field.offset);
      writer.key("type");
      writeTypeRef(writer, field.kind, field.elementKind, field.typeName);
      writer.key("custom");
      writer.boolean(field.custom != 0);
      writer.endObject();
    }
    writer.endArray();
  } else if (type.enumValues != nullptr) {
    writer.key("values");
    writer.startArray();
    for (std::uint32_t index = 0; index < type.count; ++index) {
      const Quor::HostEnumValueDescription& value = type.enumValues[index];
      writer.startObject();
      writeText(writer, "name", value.name);
      writeText(writer, "description", value.description);
      writer.key("value");
      writer.signedInteger(value.value);
      writer.endObject();
    }
    writer.endArray();
  }
  writer.endObject();
}

void writeEvent(Quor::JsonWriter& writer, const Quor::HostEventDescription& event) {
  writer.startObject();
  writeText(writer, "name", event.name);
  writeText(writer, "nameSpace", event.nameSpace);
  writeText(writer, "payloadType", event.payloadTypeName);
  writeText(writer, "description", event.description);
  writeTags(writer, event.tags, event.tagCount);
  writer.endObject();
}

}  // namespace

const Quor::HostEndpoint* findEndpoint(const Quor::HostRegistrationAnswer& answer, std::uint32_t method,
                                       std::string_view path) {
  if (answer.endpoints == nullptr || path.size() > longestMatchedPath) return nullptr;
  if (const Quor::HostEndpoint* endpoint = bestEndpoint(answer, method, path)) return endpoint;
  const std::size_t query = path.find('?');
  if (query == std::string_view::npos) return nullptr;
  return bestEndpoint(answer, method, path.substr(0, query));
}

std::string describeRegistration(const Quor::HostRegistrationAnswer& answer) {
  Quor::JsonWriter writer;
  writer.startObject();
  writer.key("endpoints");
  writer.startArray();
  for (std::uint32_t index = 0; answer.endpoints != nullptr && index < answer.endpointCount; ++index) {
    writeEndpoint(writer, answer.endpoints[index]);
  }
  writer.endArray();
  writer.key("types");
  writer.startArray();
  for (std::uint32_t index = 0; answer.types != nullptr && index < answer.typeCount; ++index) {
    writeType(writer, answer.types[index]);
  }
  writer.endArray();
  writer.key("events");
  writer.startArray();
  for (std::uint32_t index = 0; answer.events != nullptr && index < answer.eventCount; ++index) {
    writeEvent(writer, answer.events[index]);
  }
  writer.endArray();
  writer.endObject();
  return writer.takeText();
}

}  // namespace PluginHost
