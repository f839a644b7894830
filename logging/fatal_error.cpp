#include "logging/fatal_error.h"

#include <atomic>
#include <cstdio>

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
  // The abnormal end runs no shutdown code: whatever the streams hold goes
  // out now.
  std::fflush(nullptr);
  if (const ProcessEndHook hook = gProcessEndHook.load()) {
    hook(identifier);
  }
  endProcessAbnormally();
}

void endOperationOnFatalError(const char* identifier, const char* description) {
  reportAssertion(identifier, description, nullptr, 0, nullptr);
}

}  // namespace Quor
