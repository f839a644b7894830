#include "http_exchange.h"

#include "ascii_case.h"
#include "formats/json_writer.h"
#include "host_value_json.h"

namespace PluginHost {
namespace {

constexpr std::string_view argumentHeader = "x-plugin-arg";
constexpr std::string_view bytesType = "application/octet-stream";
constexpr std::string_view jsonType = "application/json";

// The parameter's own spelling of a header's argument name.
std::string parameterName(std::string_view name, const Quor::HostEndpoint* endpoint) {
  if (endpoint == nullptr) return std::string(name);
  const Quor::HostFunctionDescription& function = endpoint->description;
  for (std::uint32_t index = 0; function.arguments != nullptr && index < function.argumentCount; ++index) {
    const char* declared = function.arguments[index].name;
    if (declared != nullptr && asciiLowered(declared) == asciiLowered(name)) return declared;
  }
  return std::string(name);
}

// Only MessagePack and raw bytes are read by their length; every other body
// is read as text up to its first NUL.
bool readByLength(std::string_view contentType) {
  const std::string type = asciiLowered(contentType);
  return type.starts_with("application/x-msgpack") || type.starts_with(bytesType);
}

// The length of the UTF-8 sequence a byte begins; 0 for a byte that begins
// none (a continuation byte, or a lead that can only give an overlong form
// or a code point above U+10FFFF).
std::size_t sequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead < 0xE0) return 2;
  if (lead >= 0xE0 && lead < 0xF0) return 3;
  if (lead >= 0xF0 && lead < 0xF5) return 4;
  return 0;
}

// Well-formed UTF-8: no stray continuation bytes, no overlong forms, no
// surrogates, nothing above U+10FFFF.
bool isUtf8(std::string_view text) {
  for (std::size_t index = 0; index < text.size();) {
    const auto lead = static_cast<unsigned char>(text[index]);
    const std::size_t length = sequenceLength(lead);
    if (length == 0 || index + length > text.size()) return false;
    char32_t point = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (std::size_t next = 1; next < length; ++next) {
      const auto byte = static_cast<unsigned char>(text[index + next]);
      if ((byte & 0xC0) != 0x80) return false;
      point = (point << 6) | (byte & 0x3F);
    }
    constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < smallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return false;
    index += length;
  }
  return true;
}

// Headers the HTTP layer writes itself, and the cross-origin ones this
// server never sends.
bool isWithheld(std::string_view name) {
  const std::string header = asciiLowered(name);
  return header == "content-length" || header == "content-type" || header == "transfer-encoding" ||
         header == "connection" || header.starts_with("access-control-");
}

}  // namespace

Outcome<Step> requestStep(const HttpRequestText& request, const Quor::HostEndpoint* endpoint) {
  Step step;
  step.kind = Step::Kind::Request;
  step.method = request.method;
  step.path = request.target;
  for (const auto& [name, value] : request.headers) {
    const std::string header = asciiLowered(name);
    if (header == "content-type") {
      step.contentType = value;
    } else if (header == argumentHeader || header.starts_with(std::string(argumentHeader) + '-')) {
      // An empty name sends the argument by position.
      const std::string argumentName =
          header == argumentHeader ? std::string()
                                   : parameterName(std::string_view(name).substr(argumentHeader.size() + 1), endpoint);
      if (!isUtf8(value)) return Failure{"header " + name + ": the argument is not UTF-8 text"};
      Outcome<Quor::Value> argument = parseJsonValue(value, "header " + name);
      if (!argument) return Failure{argument.error()};
      step.arguments.push_back({argumentName, std::move(argument.value())});
    } else {
      step.headers.push_back({name, value});
    }
  }
  if (!request.body.empty() || !step.contentType.empty()) {
    if (!readByLength(step.contentType) && request.body.find('\0') != std::string::npos) {
      return Failure{"the body holds a NUL character; send it as application/octet-stream"};
    }
    step.body = request.body;
  }
  return step;
}

HttpReply replyFor(const PrintedAnswer& answer) {
  HttpReply reply;
  if (answer.status == 0) {
    reply.status = answer.error ? 500 : 200;
  } else if (answer.status < 100 || answer.status > 599) {
    return errorReply(502, "the plugin answered status " + std::to_string(answer.status));
  } else {
    reply.status = answer.status;
  }
  if (answer.error) {
    reply = HttpReply{reply.status, std::string(jsonType), errorReply(reply.status, *answer.error).body, {}};
  } else if (answer.stream || answer.blob) {
    reply.contentType = answer.contentType.empty() ? std::string(bytesType) : answer.contentType;
    reply.body = answer.stream ? *answer.stream : *answer.blob;
  } else {
    reply.contentType = jsonType;
    reply.body = answer.body.value_or("null");
  }
  for (const auto& [name, value] : answer.headers) {
    if (!isWithheld(name)) reply.headers.emplace_back(name, value);
  }
  return reply;
}

HttpReply errorReply(int status, std::string_view message) {
  Quor::JsonWriter writer;
  writer.startObject();
  writer.key("error");
  writer.string(message);
  writer.endObject();
  return {status, std::string(jsonType), writer.takeText(), {}};
}

}  // namespace PluginHost
