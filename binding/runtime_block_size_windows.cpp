#include <malloc.h>

#include "binding/runtime_block_size.h"

namespace Quor {

std::size_t runtimeBlockSize(void* block) noexcept { return block != nullptr ? _msize(block) : 0; }

}  // namespace Quor
