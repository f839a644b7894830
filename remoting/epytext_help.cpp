#include "remoting/epytext_help.h"

#include <vector>

#include "binding/type_names.h"
#include "binding/type_registry.h"

namespace Quor {

namespace {

const char lineEnd[] = "\r\n";
const char paragraphEnd[] = "\r\n\r\n";

void appendParagraph(std::string& text, std::string_view paragraph) {
  const std::string escaped = escapeEpytext(paragraph);
  if (escaped.empty()) return;
  text += escaped;
  text += paragraphEnd;
}

void appendTags(std::string& text, const std::vector<std::string>& tags) {
  if (tags.empty()) return;
  text += "@tags: ";
  for (std::size_t index = 0; index < tags.size(); ++index) {
    if (index != 0) text += ',';
    text += tags[index];
  }
  text += lineEnd;
}

void appendTypeLine(std::string& text, std::string_view name, const TypeRef& type, const TypeRegistry* registry) {
  text += "@type ";
  text += name;
  text += ": ";
  text += epytextTypeName(type, registry);
  text += lineEnd;
}

std::string structText(const TypeDescription& type, const TypeRegistry* registry) {
  std::string text;
  appendParagraph(text, type.description);
  for (const FieldDescription& field : type.fields) {
    text += "@ivar ";
    text += field.name;
    text += ": ";
    text += field.description;
    text += lineEnd;
    appendTypeLine(text, field.name, field.describedType(), registry);
  }
  appendTags(text, type.tags);
  return text;
}

std::string enumText(const TypeDescription& type) {
  std::string text;
  appendParagraph(text, type.description);
  for (const auto& [valueName, value] : type.enumValues) {
    text += "@cvar ";
    text += value.name;
    text += ": (";
    text += std::to_string(value.value);
    text += ')';
    if (!value.description.empty()) {
      text += ' ';
      text += value.description;
    }
    text += lineEnd;
  }
  appendTags(text, type.tags);
  text += "@size: ";
  text += std::to_string(type.size);
  text += lineEnd;
  return text;
}

}  // namespace

std::string escapeEpytext(std::string_view text) {
  if (const std::size_t end = text.find('\0'); end != std::string_view::npos) text = text.substr(0, end);
  std::string escaped;
  escaped.reserve(text.size());
  for (std::size_t index = 0; index < text.size(); ++index) {
    const char character = text[index];
    if (index == 0 && character == '-') {
      escaped += "E{-}";
    } else if (character == '{') {
      escaped += "E{lb}";
    } else if (character == '}') {
      escaped += "E{rb}";
    } else {
      escaped += character;
    }
  }
  return escaped;
}

std::string epytextFunctionText(const FunctionDescription& function, const TypeRegistry* registry) {
  std::string text;
  appendParagraph(text, function.description);
  appendParagraph(text, function.help);
  for (const ParameterDescription& parameter : function.parameters) {
    const std::string description = escapeEpytext(parameter.description);
    if (!description.empty()) {
      text += "@param ";
      text += parameter.name;
      text += ": ";
      if (parameter.optional) text += "(optional) ";
      text += description;
      text += lineEnd;
    }
    appendTypeLine(text, parameter.name, parameter.describedType(), registry);
  }
  const TypeRef& returns = function.describedReturns();
  if (returns.kind != NativeKind::None) {
    text += "@rtype: ";
    text += epytextTypeName(returns, registry);
    text += lineEnd;
  }
  appendTags(text, function.tags);
  if (function.threadSafe) text += "@threadsafe: true\r\n";
  if (function.async) {
    text += "@async: ";
    text += epytextTypeName(returns, registry);
    text += lineEnd;
  }
  return text;
}

std::string epytextTypeText(const TypeDescription& type, const TypeRegistry* registry) {
  return type.isEnum ? enumText(type) : structText(type, registry);
}

std::string epytextEventText(const EventDescription& event) {
  std::string text = escapeEpytext(event.description);
  text += paragraphEnd;
  appendTags(text, event.tags);
  return text;
}

}  // namespace Quor
