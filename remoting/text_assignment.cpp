#include "remoting/text_assignment.h"

#include "binding/format_message.h"
#include "remoting/content_decoding.h"
#include "remoting/dispatch_messages.h"

namespace Quor {

namespace {

constexpr ContentTypeName argumentJsonTypes[] = {ContentTypes::json};

constexpr ContentRules argumentTextRules{
    .jsonTypes = argumentJsonTypes,
    .yamlType = ContentTypes::yamlText,
    .recognisesUntypedStructures = true,
    .bytesAfterMessagePack = nullptr,
    .unsupportedType = nullptr,
    .bytesMayBeCText = false,
};

const char* failureMessage(ContentFormat format) {
  switch (format) {
    case ContentFormat::MessagePack:
      return DispatchMessages::messagePackArgument;
    case ContentFormat::Yaml:
      return DispatchMessages::yamlArgument;
    default:
      return DispatchMessages::jsonArgument;
  }
}

}  // namespace

void assignText(RemotingResponse& response, Value& target, std::string_view text, std::string_view parameterName,
                std::string_view functionName, std::string_view contentType, bool structured) {
  ContentDecoding decoding = decodeContent(argumentTextRules, contentType, text, structured);
  if (!decoding.result.ok()) {
    response.setError(FormatMessage(failureMessage(decoding.format), parameterName, functionName,
                                    decoding.result.error()));
  } else if (decoding.format == ContentFormat::Bytes) {
    target.setBlob(text.data(), text.size());
  } else if (decoding.format == ContentFormat::Text) {
    target.setString(text);
  } else {
    target = std::move(decoding.result.value());
  }
}

}  // namespace Quor
