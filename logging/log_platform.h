#pragma once
// What the logger needs from the operating system. Implemented per platform
// in log_platform_windows.cpp and log_platform_posix.cpp.

#include <cstddef>
#include <cstdint>

#include "logging/log_record.h"

namespace Quor {

// The calling thread's identifier as the system numbers threads.
std::uint32_t currentThreadId();

// Fills the seven time fields of `record` with the current local time.
void currentTime(LogRecord& record);

// The full path of the process's executable, cut to fit and terminated;
// the empty text when the system cannot tell.
void executablePath(char* buffer, std::size_t size);

// Hands one line to an attached debugger (nothing natively, where no such
// channel exists).
void writeDebuggerOutput(const char* line);

// Whether the process is ending and unloading its libraries: the system has
// then ended every other thread wherever it was, holding whatever locks it
// held. Never true natively, where exit runs with the other threads alive.
bool processIsExiting();

}  // namespace Quor
