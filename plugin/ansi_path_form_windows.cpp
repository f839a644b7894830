#include "plugin/ansi_path_form.h"

#include <windows.h>

#include <cstdio>

namespace Quor {

namespace {

// UTF-8 takes neither WC_NO_BEST_FIT_CHARS nor a default character; it
// holds every character, and the way back finds what it replaced.
bool isUtf8(unsigned codePage) { return codePage == CP_UTF8 || (codePage == CP_ACP && GetACP() == CP_UTF8); }

bool isHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

namespace detail {

std::optional<std::string> exactFormInCodePage(unsigned codePage, std::wstring_view wide) {
  if (wide.empty()) return std::string();
  if (wide.size() > 0x7FFFFFF) return std::nullopt;
  const int wideSize = static_cast<int>(wide.size());
  const bool utf8 = isUtf8(codePage);
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* const usedDefaultOut = utf8 ? nullptr : &usedDefault;
  const int size = WideCharToMultiByte(codePage, flags, wide.data(), wideSize, nullptr, 0, nullptr, usedDefaultOut);
  if (size <= 0 || usedDefault) return std::nullopt;
  std::string narrow(static_cast<std::size_t>(size), '\0');
  if (WideCharToMultiByte(codePage, flags, wide.data(), wideSize, narrow.data(), size, nullptr, usedDefaultOut) !=
          size ||
      usedDefault) {
    return std::nullopt;
  }
  // Whatever the flags promise, only a text that reads back as it was is
  // the same path.
  const int backSize = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, narrow.data(), size, nullptr, 0);
  if (backSize != wideSize) return std::nullopt;
  std::wstring back(static_cast<std::size_t>(backSize), L'\0');
  if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, narrow.data(), size, back.data(), backSize) != backSize ||
      back != wide) {
    return std::nullopt;
  }
  return narrow;
}

std::string formForMessageInCodePage(unsigned codePage, std::wstring_view wide) {
  std::string out;
  for (std::size_t index = 0; index < wide.size();) {
    const std::size_t length =
        index + 1 < wide.size() && isHighSurrogate(wide[index]) && isLowSurrogate(wide[index + 1]) ? 2 : 1;
    const std::wstring_view character = wide.substr(index, length);
    if (const std::optional<std::string> exact = exactFormInCodePage(codePage, character)) {
      out += *exact;
    } else {
      const unsigned codePoint =
          length == 2 ? 0x10000u + ((static_cast<unsigned>(character[0]) - 0xD800u) << 10) +
                            (static_cast<unsigned>(character[1]) - 0xDC00u)
                      : static_cast<unsigned>(character[0]);
      char name[16];
      std::snprintf(name, sizeof name, "<U+%04X>", codePoint);
      out += name;
    }
    index += length;
  }
  return out;
}

}  // namespace detail

std::optional<std::string> exactAnsiForm(std::wstring_view wide) { return detail::exactFormInCodePage(CP_ACP, wide); }

std::string ansiFormForMessage(std::wstring_view wide) { return detail::formForMessageInCodePage(CP_ACP, wide); }

unsigned ansiCodePageNumber() { return GetACP(); }

}  // namespace Quor
