#include "logging/assertion_report.h"

#include "logging/logger.h"

namespace Quor {
namespace {

bool given(const char* text) {
  return text != nullptr && text[0] != '\0';
}

}  // namespace

std::string assertionReport(const char* expression, const char* description, const char* file, std::int32_t line,
                            const char* function) {
  std::string report = "Assertion failed!\n\n";
  if (given(file)) {
    report += "File: ";
    report += file;
    report += "\n";
  }
  if (line != 0) {
    report += "Line: ";
    report += std::to_string(line);
    report += "\n\n";
  }
  if (given(function)) {
    report += "Function: ";
    report += function;
    report += "\n\n";
  }
  if (given(expression)) {
    report += "Expression: ";
    report += expression;
  }
  if (given(description)) {
    report += "\n\nDescription: ";
    report += description;
  }
  return report;
}

void reportAssertion(const char* expression, const char* description, const char* file, std::int32_t line,
                     const char* function) {
  const std::string report = assertionReport(expression, description, file, line, function);
  log(LogLevel::Error, LogCategory::Dbg, "%s", report.c_str());
}

}  // namespace Quor
