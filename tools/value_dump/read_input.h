#pragma once
// The whole content of a file, or of standard input for "-".

#include <optional>
#include <string>

namespace Quor {

// Nothing when the file cannot be opened or read.
std::optional<std::string> readInput(const std::string& path);

}  // namespace Quor
