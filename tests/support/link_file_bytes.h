#pragma once
// The bytes of a shortcut file ([MS-SHLLINK]) built without the shell, for
// lnk-tool and the plugin tests.
//
// Wine 8's shell link keeps a target only in the link info's ANSI path, which
// its writer maps best fit ("C:\Ｇａｍｅｓ\x.exe" is stored as
// "C:\Games\x.exe") and its reader takes as the target. A target that only
// a relative path names, though, its reader resolves in full from the
// shortcut's folder. So a test that needs a shortcut holding a target the
// ANSI code page lacks, as one the shell of Windows wrote holds it, builds the
// file itself: the header, then the texts in UTF-16.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace QcpTest {

// The header's class identifier, {00021401-0000-0000-C000-000000000046}.
inline constexpr unsigned char shellLinkClassBytes[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// The texts a built shortcut holds; empty ones are left out.
struct LinkFileTexts {
  std::wstring_view relativePath = {};
  std::wstring_view workingDirectory = {};
  std::wstring_view arguments = {};
  std::wstring_view iconLocation = {};
};

// A shortcut with no item list and no link info: the 0x4C-byte header
// (LinkFlags: IsUnicode and one flag per text present, ShowCommand
// SW_SHOWNORMAL), the texts as counted UTF-16 strings in the file's order,
// and the terminal block.
inline std::string linkFileBytes(const LinkFileTexts& texts) {
  std::string bytes(0x4C, '\0');
  bytes[0] = 0x4C;
  bytes.replace(4, 16, reinterpret_cast<const char*>(shellLinkClassBytes), 16);
  bytes[0x3C] = 1;
  const auto append16 = [&bytes](std::uint16_t value) {
    bytes += static_cast<char>(value & 0xFF);
    bytes += static_cast<char>(value >> 8);
  };
  std::uint32_t flags = 0x80;  // IsUnicode
  const std::pair<std::wstring_view, std::uint32_t> strings[] = {{texts.relativePath, 0x08},
                                                                 {texts.workingDirectory, 0x10},
                                                                 {texts.arguments, 0x20},
                                                                 {texts.iconLocation, 0x40}};
  for (const auto& [text, flag] : strings) {
    if (text.empty()) continue;
    flags |= flag;
    append16(static_cast<std::uint16_t>(text.size()));
    for (const wchar_t c : text) append16(static_cast<std::uint16_t>(c));
  }
  bytes[0x14] = static_cast<char>(flags);
  bytes.append(4, '\0');
  return bytes;
}

}  // namespace QcpTest
