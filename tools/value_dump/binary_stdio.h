#pragma once
// Standard input and output as byte streams: no line-end translation, so
// the tool reads and prints the same bytes on every platform.

namespace Quor {

void useBinaryStdio();

}  // namespace Quor
