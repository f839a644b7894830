#pragma once
// The deepest nesting of collections and structures that the readers accept
// and the conversions walk.
//
// The tokenizers recurse once per level, so hostile input could otherwise
// exhaust the calling thread's stack: the host's threads may have 1 MiB of
// stack or less. Every reader (JSON, MessagePack, YAML) fails beyond this
// depth with the same limit, so documents behave alike in every format.

#include <cstddef>

namespace Quor {

inline constexpr std::size_t maxNestingDepth = 512;

}  // namespace Quor
