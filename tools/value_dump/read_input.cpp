#include "read_input.h"

#include <cstdio>
#include <memory>

namespace Quor {

namespace {

bool readAll(std::FILE* file, std::string& content) {
  char buffer[65536];
  for (;;) {
    const std::size_t count = std::fread(buffer, 1, sizeof buffer, file);
    content.append(buffer, count);
    if (count < sizeof buffer) return std::ferror(file) == 0;
  }
}

}  // namespace

std::optional<std::string> readInput(const std::string& path) {
  std::string content;
  if (path == "-") {
    if (!readAll(stdin, content)) return std::nullopt;
    return content;
  }
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file || !readAll(file.get(), content)) return std::nullopt;
  return content;
}

}  // namespace Quor
