#pragma once
// Texts the library hands out (log messages, paths) are in the ANSI code
// page; JSON output must be UTF-8, or a reader sees a path with "é" as
// broken text.

#include <string>
#include <string_view>

namespace ToolText {

// `text` from the ANSI code page to UTF-8; ASCII comes back as it is. Bytes
// the code page cannot read are kept as they were.
std::string ansiToUtf8(std::string_view text);

}  // namespace ToolText
