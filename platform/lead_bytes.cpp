#include "platform/lead_bytes.h"

namespace Quor {

void LeadBytes::addRange(unsigned char first, unsigned char last) {
  for (unsigned byte = first; byte <= last; ++byte) leads_.set(byte);
}

}  // namespace Quor
