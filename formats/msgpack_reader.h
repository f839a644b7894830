#pragma once
// Reads one MessagePack value into a Value.

#include <cstddef>

#include "binding/value.h"

namespace Quor {

struct MessagePackReading {
  ValueResult result;
  // Bytes consumed: the end of the value on success, the start of the read
  // that failed otherwise. The caller decides what bytes after the value mean.
  std::size_t position = 0;
};

// Decodes one value from the start of bytes[0, length).
//
// nil is the empty value, booleans bool, positive and negative fixint signed
// (the byte read as a signed 8-bit number), uint 8 to 64 unsigned, int 8 to
// 64 signed, float 32 and 64 float, str a string, bin a blob, arrays
// collections and maps structures whose keys must be strings (a repeated key
// addresses the same member, so its last value wins). Extension types and
// the unused byte 0xC1 fail.
//
// No input at all gives the empty value with success and position 0. Input
// that ends inside an array or a map fails ("... Array of size <n> at
// position <p> is truncated." / "Map of size <n> ..." with the announced
// count and the position of the container's first item) rather than giving
// the part that was read: a caller that ignores trailing bytes cannot tell a
// cut-off document from a whole one otherwise.
//
// Announced lengths are checked against the bytes left before anything is
// allocated, and a count sizes its container ahead only up to what the bytes
// left can hold (an element takes at least one byte, a member two). Arrays and maps nested deeper
// than maxNestingDepth fail at the one that opens the level too many
// ("Invalid MessagePack data at position <p>. The data is nested deeper than
// 512 levels.", p just after its type byte): the reader itself keeps its
// open containers on the heap, but copying, releasing and converting the tree
// afterwards recurse once per level.
MessagePackReading parseMessagePack(const void* bytes, std::size_t length);

}  // namespace Quor
