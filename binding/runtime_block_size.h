#pragma once
// The size the C runtime reports for one of its heap blocks: the allocation
// counters count these sizes, not the sizes requested.

#include <cstddef>

namespace Quor {

// 0 for a null pointer. The block must come from the C runtime's malloc.
std::size_t runtimeBlockSize(void* block) noexcept;

}  // namespace Quor
