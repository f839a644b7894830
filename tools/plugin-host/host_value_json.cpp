#include "host_value_json.h"

#include "binding/library_allocator.h"
#include "formats/json_reader.h"
#include "formats/value_text_writer.h"

namespace PluginHost {

Outcome<std::string> hostValueJson(const Quor::HostValue& value) {
  Quor::HostErrorSink sink{};
  Quor::Value converted;
  if (!Quor::hostValueToValue(sink, converted, value, "<value>")) {
    std::string message = sink.errorMessage != nullptr ? sink.errorMessage : "unreadable value";
    if (sink.errorMessageOwned != 0) Quor::libraryFree(sink.errorMessage);
    return Failure{std::move(message)};
  }
  return Quor::valueToText(converted, Quor::ValueTextStyle::Json);
}

Outcome<Quor::Value> parseJsonValue(std::string_view text, std::string_view what) {
  // The reader stops at a NUL: text with one inside would be read short.
  if (text.find('\0') != std::string_view::npos) {
    return Failure{std::string(what) + ": the JSON text contains a NUL character"};
  }
  const std::string terminated(text);
  Quor::ValueResult result = Quor::parseJson(terminated.c_str());
  if (!result.ok()) return Failure{std::string(what) + ": " + std::string(result.error())};
  return std::move(result.value());
}

Outcome<Quor::HostValue> ownedHostValue(const Quor::Value& value) {
  Quor::HostValue record{};
  std::string error;
  if (!Quor::valueToHostValue(record, value, nullptr, &error)) {
    Quor::releaseHostValue(record);
    return Failure{std::move(error)};
  }
  return record;
}

}  // namespace PluginHost
