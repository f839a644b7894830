#pragma once
// The epytext help format: one text per function, type and event, lines
// ended by "\r\n", a paragraph by "\r\n\r\n".

#include <string>
#include <string_view>

#include "binding/function_description.h"
#include "binding/type_description.h"

namespace Quor {

class TypeRegistry;

// A leading "-" becomes "E{-}", every "{" "E{lb}" and every "}" "E{rb}"; the
// text ends at its first NUL.
std::string escapeEpytext(std::string_view text);

// Description and help paragraphs, "@param" (for described parameters) and
// "@type" lines, then "@rtype", "@tags", "@threadsafe" and "@async" where they
// apply. Enum and struct names are looked up in registry when given.
std::string epytextFunctionText(const FunctionDescription& function, const TypeRegistry* registry);

// A struct: description paragraph, "@ivar" and "@type" per field, "@tags".
// An enum: description paragraph, "@cvar" per value in name order, "@tags",
// "@size".
std::string epytextTypeText(const TypeDescription& type, const TypeRegistry* registry);

// The description paragraph (written even when empty) and "@tags".
std::string epytextEventText(const EventDescription& event);

}  // namespace Quor
