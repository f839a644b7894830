#include "logging/processor_information.h"

namespace Quor {

ProcessorInformationFunction ProcessorInformationCache::get() {
  if (state_.load(std::memory_order_acquire) == Known) {
    return function_.load(std::memory_order_relaxed);
  }
  // Concurrent first calls may both look up; they reach the same answer.
  const ProcessorInformationLookup result = lookup_ != nullptr ? lookup_() : ProcessorInformationLookup{};
  if (result.outcome == ProcessorInformationLookup::Outcome::Failed) {
    return nullptr;
  }
  const ProcessorInformationFunction function =
      result.outcome == ProcessorInformationLookup::Outcome::Found ? result.function : nullptr;
  function_.store(function, std::memory_order_relaxed);
  state_.store(Known, std::memory_order_release);
  return function;
}

namespace {
constinit ProcessorInformationCache gProcessorInformation(lookUpProcessorInformation);
}  // namespace

ProcessorInformationFunction processorInformationFunction() {
  return gProcessorInformation.get();
}

}  // namespace Quor
