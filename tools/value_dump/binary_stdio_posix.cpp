#include "binary_stdio.h"

namespace Quor {

// POSIX streams never translate line ends.
void useBinaryStdio() {}

}  // namespace Quor
