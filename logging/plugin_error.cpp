#include "logging/plugin_error.h"

#include <type_traits>
#include <variant>

#include "formats/json_writer.h"

namespace Quor {

void setCode(PluginError& error, std::int32_t code) {
  if (code == 0) return;
  error.code = code;
  error.fields.set(errorCodeFieldName, std::int64_t{code});
}

namespace {

bool wantsPlainText(const ErrorFields& fields) {
  return fields.empty() || (fields.size() == 1 && fields.begin()->name == errorFieldsFieldName);
}

void writeField(JsonWriter& writer, const ErrorFieldValue& value) {
  std::visit(
      [&writer](const auto& field) {
        using Field = std::decay_t<decltype(field)>;
        if constexpr (std::is_same_v<Field, bool>) {
          writer.boolean(field);
        } else if constexpr (std::is_same_v<Field, std::int64_t>) {
          writer.signedInteger(field);
        } else if constexpr (std::is_same_v<Field, std::uint64_t>) {
          writer.unsignedInteger(field);
        } else if constexpr (std::is_same_v<Field, double>) {
          writer.number(field);
        } else {
          writer.string(field);
        }
      },
      value);
}

}  // namespace

std::string textForm(const PluginError& error) {
  if (error.message.empty()) return {};
  if (wantsPlainText(error.fields)) {
    if (error.code == 0) return error.message;
    return FormatMessage("%1 (%2)", error.message, error.code);
  }
  JsonWriter writer;
  writer.startObject();
  writer.key("message");
  writer.string(error.message);
  for (const ErrorField& field : error.fields) {
    writer.key(field.name);
    writeField(writer, field.value);
  }
  writer.endObject();
  return writer.takeText();
}

}  // namespace Quor
