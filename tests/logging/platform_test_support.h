#pragma once
// Test helpers that need the operating system, one implementation per
// platform.

#include <cstdint>

namespace Quor {

// Sets the calling thread's last system error code.
void setLastSystemErrorCodeForTest(std::uint32_t code);

// The calling thread's identifier as the system reports it.
std::uint32_t systemThreadIdForTest();

}  // namespace Quor
