#pragma once
// The name that log lines show for the process ("#E").

namespace Quor {

// The file name part of the executable's path, read once per process (the
// logger reads it when it is created).
const char* programName();

// The part of `path` after its last "\" (or "/", the native separator); the
// whole text when there is none. Points into `path`.
const char* programNameFromPath(const char* path);

}  // namespace Quor
