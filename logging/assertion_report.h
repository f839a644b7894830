#pragma once
// Assertion reports: the text of a failed check and the call that logs it.

#include <cstdint>
#include <string>

namespace Quor {

// "Assertion failed!" and two line feeds, then whichever parts are given
// (null or empty texts and line 0 are left out): "File: <file>\n",
// "Line: <line>\n\n", "Function: <function>\n\n", "Expression: <expression>",
// and "\n\nDescription: <description>".
std::string assertionReport(const char* expression, const char* description, const char* file, std::int32_t line,
                            const char* function);

// Logs the report at level ERROR with category DBG (cut at 4095 characters
// like every message).
void reportAssertion(const char* expression, const char* description, const char* file, std::int32_t line,
                     const char* function);

}  // namespace Quor
