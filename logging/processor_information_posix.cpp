#include "logging/processor_information.h"

namespace Quor {

// No such system function natively.
ProcessorInformationLookup lookUpProcessorInformation() {
  return {ProcessorInformationLookup::Outcome::Absent, nullptr};
}

}  // namespace Quor
