#include <cstdlib>

#include "logging/fatal_error.h"

namespace Quor {

void endProcessAbnormally() {
  std::abort();
}

}  // namespace Quor
