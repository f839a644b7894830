#pragma once
// Turning a log record into one text line.

#include <cstddef>
#include <cstdint>

#include "logging/log_record.h"

namespace Quor {

// The six-character name of a level ("  OKAY", "  WARN", " ERROR",
// "ALWAYS"); "   ???" for a number outside 0 to 3.
const char* levelName(std::int32_t level);

// The record's time as "%04d-%02d-%02dT%02d:%02d:%02d.%03d", and without
// milliseconds and with "-" between the time parts for use in file names.
// Both cut to fit `size` - 1 characters; answer the characters stored.
std::size_t formatTimestamp(char* buffer, std::size_t size, const LogRecord& time);
std::size_t formatFileTimestamp(char* buffer, std::size_t size, const LogRecord& time);

// Milliseconds since this process first asked for them.
std::int64_t elapsedMilliseconds();

// Expands `format` for `record` into `buffer`:
//   #D time stamp, #E program name, #G category names, #H seconds since the
//   clock's first use ("%06d.%03d"), #L level name, #M message, #T calling
//   thread's identifier as eight upper-case hexadecimal digits;
//   "#" before any other character writes that character ("##" is "#"); a
//   lone "#" at the end writes nothing; everything else is copied.
// Expansion keeps the last two bytes in reserve so that the line can always
// end with exactly one line feed: one is added unless the expanded text
// already ends with one. The buffer is always terminated; answers the
// characters stored. Buffers under two bytes hold the empty text only.
std::size_t formatLine(char* buffer, std::size_t size, const char* format, const LogRecord& record);

}  // namespace Quor
