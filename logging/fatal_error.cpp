#include "logging/fatal_error.h"

#include <atomic>

#include "logging/assertion_report.h"

namespace Quor {
namespace {

constinit std::atomic<ProcessEndHook> gProcessEndHook{nullptr};

}  // namespace

ProcessEndHook setProcessEndHook(ProcessEndHook hook) {
  return gProcessEndHook.exchange(hook);
}

void endProcessOnFatalError(const char* identifier, const char* description) {
  reportAssertion(identifier, description, nullptr, 0, nullptr);
  if (const ProcessEndHook hook = gProcessEndHook.load()) {
    hook(identifier);
  }
  endProcessAbnormally();
}

void endOperationOnFatalError(const char* identifier, const char* description) {
  reportAssertion(identifier, description, nullptr, 0, nullptr);
}

}  // namespace Quor
