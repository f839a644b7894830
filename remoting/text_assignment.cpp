#include "remoting/text_assignment.h"

#include <string>

#include "binding/format_message.h"
#include "formats/json_reader.h"
#include "formats/msgpack_reader.h"
#include "formats/yaml_reader.h"
#include "remoting/content_types.h"
#include "remoting/dispatch_messages.h"

namespace Quor {

namespace {

bool looksLikeMessagePack(std::string_view text) {
  if (text.empty()) return false;
  const auto first = static_cast<unsigned char>(text.front());
  return (first >= 0x80 && first <= 0x9F) || (first >= 0xDC && first <= 0xDF);
}

std::string_view withoutLeadingSpaces(std::string_view text) {
  const std::size_t start = text.find_first_not_of(' ');
  return start == std::string_view::npos ? std::string_view() : text.substr(start);
}

bool looksLikeJson(std::string_view text) {
  const std::string_view rest = withoutLeadingSpaces(text);
  return !rest.empty() && (rest.front() == '{' || rest.front() == '[');
}

bool looksLikeYaml(std::string_view text) { return withoutLeadingSpaces(text).starts_with("---"); }

void take(RemotingResponse& response, Value& target, ValueResult&& decoded, const char* message,
          std::string_view parameterName, std::string_view functionName) {
  if (!decoded.ok()) {
    response.setError(FormatMessage(message, parameterName, functionName, decoded.error()));
    return;
  }
  target = std::move(decoded.value());
}

}  // namespace

void assignText(RemotingResponse& response, Value& target, std::string_view text, std::string_view parameterName,
                std::string_view functionName, std::string_view contentType, bool structured) {
  const bool guess = structured && contentType.empty();
  if (contentTypeMatches(contentType, ContentTypes::msgpack) || (guess && looksLikeMessagePack(text))) {
    take(response, target, std::move(parseMessagePack(text.data(), text.size()).result),
         DispatchMessages::messagePackArgument, parameterName, functionName);
  } else if (contentTypeMatches(contentType, ContentTypes::json) || (guess && looksLikeJson(text))) {
    // The reader wants a terminated text; like any C text it ends at a NUL.
    const std::string terminated(text);
    take(response, target, parseJson(terminated.c_str()), DispatchMessages::jsonArgument, parameterName,
         functionName);
  } else if (contentTypeMatches(contentType, ContentTypes::yamlText) || (guess && looksLikeYaml(text))) {
    take(response, target, parseYaml(text), DispatchMessages::yamlArgument, parameterName, functionName);
  } else if (contentTypeMatches(contentType, ContentTypes::octetStream)) {
    target.setBlob(text.data(), text.size());
  } else {
    target.setString(text);
  }
}

}  // namespace Quor
