#pragma once
// printf-style formatting into a fixed buffer, never past its end.

#include <cstdarg>
#include <cstddef>

// The Windows build formats with MinGW's C99 printf family (so "%lld", "%zu"
// and "%hhd" mean what they mean everywhere), and the compiler checks format
// strings against that family.
#if defined(__MINGW32__)
#define QCP_PRINTF_LIKE(formatIndex, firstArgument) \
  __attribute__((format(gnu_printf, formatIndex, firstArgument)))
#else
#define QCP_PRINTF_LIKE(formatIndex, firstArgument) \
  __attribute__((format(printf, formatIndex, firstArgument)))
#endif

namespace Quor {

// Formats into `buffer` (`size` bytes), cutting the text at size - 1
// characters; the buffer is always terminated when size > 0. Answers the
// number of characters stored (not the untruncated length). A null format or
// an encoding error stores the empty text.
std::size_t formatBoundedV(char* buffer, std::size_t size, const char* format, std::va_list arguments);
std::size_t formatBounded(char* buffer, std::size_t size, const char* format, ...) QCP_PRINTF_LIKE(3, 4);

}  // namespace Quor
