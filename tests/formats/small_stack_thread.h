#pragma once
// Runs code on a thread with a small stack, as the host's threads may have.

#include <cstddef>
#include <functional>

namespace Quor::Testing {

// Runs body on a new thread whose stack is stackBytes large and waits for it.
// False when the thread could not be started.
bool runOnSmallStack(std::size_t stackBytes, const std::function<void()>& body);

}  // namespace Quor::Testing
