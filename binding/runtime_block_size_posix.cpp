#include <malloc.h>

#include "binding/runtime_block_size.h"

namespace Quor {

std::size_t runtimeBlockSize(void* block) noexcept { return block != nullptr ? malloc_usable_size(block) : 0; }

}  // namespace Quor
