#pragma once
// Texts of the system's error codes.

#include <cstddef>
#include <cstdint>

namespace Quor {

// The system's message for `code` in the default language, with the line
// break the system puts at its end; when the system has no text for the
// code (or it does not fit), "Failed to get error text", cut to size - 1
// characters. Insert sequences such as "%1" are left in the text as they
// are. Always terminated when size > 0. Answers `buffer`.
char* systemErrorText(std::uint32_t code, char* buffer, std::size_t size);

// The calling thread's last system error code.
std::uint32_t lastSystemErrorCode();

}  // namespace Quor
