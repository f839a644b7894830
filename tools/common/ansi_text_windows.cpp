#include "ansi_text.h"

#include <windows.h>

#include <algorithm>

namespace ToolText {

namespace {

std::wstring toWide(unsigned codePage, DWORD flags, std::string_view text) {
  if (text.empty() || text.size() > 0x7FFFFFFF) return std::wstring();
  const int length = static_cast<int>(text.size());
  const int wideLength = MultiByteToWideChar(codePage, flags, text.data(), length, nullptr, 0);
  if (wideLength <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  MultiByteToWideChar(codePage, flags, text.data(), length, wide.data(), wideLength);
  return wide;
}

}  // namespace

std::string ansiToUtf8(std::string_view text) {
  const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) return std::string(text);
  const std::wstring wide = toWide(CP_ACP, MB_ERR_INVALID_CHARS, text);
  return wide.empty() ? std::string(text) : wideToUtf8(wide);
}

std::wstring utf8ToWide(std::string_view text) { return toWide(CP_UTF8, 0, text); }

std::string wideToUtf8(std::wstring_view text) {
  if (text.empty() || text.size() > 0x7FFFFFFF) return std::string();
  const int length = static_cast<int>(text.size());
  const int utf8Length = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (utf8Length <= 0) return std::string();
  std::string utf8(static_cast<std::size_t>(utf8Length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), length, utf8.data(), utf8Length, nullptr, nullptr);
  return utf8;
}

Utf8Arguments::Utf8Arguments(int argc, wchar_t** argv) {
  for (int index = 0; index < argc; ++index) texts_.push_back(wideToUtf8(argv[index]));
  for (std::string& text : texts_) pointers_.push_back(text.data());
  pointers_.push_back(nullptr);
}

}  // namespace ToolText
