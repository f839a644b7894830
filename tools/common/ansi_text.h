#pragma once
// Texts between the tools, the library and the system. The library's texts
// (log messages, paths) are in the ANSI code page, and JSON output must be
// UTF-8, or a reader sees a path with "é" as broken text. The tools take
// their command lines in full (wmain) and keep them in UTF-8, so that a path
// the ANSI code page cannot hold reaches the system, or the library's own
// refusal, as it was given.

#include <string>
#include <string_view>
#include <vector>

namespace ToolText {

// `text` from the ANSI code page to UTF-8; ASCII comes back as it is. Bytes
// the code page cannot read are kept as they were.
std::string ansiToUtf8(std::string_view text);

// UTF-8 to UTF-16 and back; what is not UTF-8 (or UTF-16) becomes U+FFFD.
std::wstring utf8ToWide(std::string_view text);
std::string wideToUtf8(std::wstring_view text);

// wmain's arguments in UTF-8, with an argv over them for parsers that take
// one (valid while the object lives).
class Utf8Arguments {
 public:
  Utf8Arguments(int argc, wchar_t** argv);
  Utf8Arguments(const Utf8Arguments&) = delete;
  Utf8Arguments& operator=(const Utf8Arguments&) = delete;

  int argc() const { return static_cast<int>(texts_.size()); }
  char** argv() { return pointers_.data(); }

 private:
  std::vector<std::string> texts_;
  std::vector<char*> pointers_;
};

}  // namespace ToolText
