#pragma once
// Paths the system hands over in UTF-16 (the current directory, the module's
// path, the shell folders, long path names, the texts of a shortcut) in the
// ANSI code page the migration works in, exactly or not at all. The ANSI
// calls, and WideCharToMultiByte's default best-fit mapping, put "?" or a
// look-alike where the code page lacks a character ("Ｇａｍｅｓ" becomes
// "Games", the one folder "a＼b" becomes "a\b"), and the path then names
// another folder, or none.

#include <optional>
#include <string>
#include <string_view>

namespace Quor {

// `wide` in the ANSI code page when every character has an exact form there
// (no best-fit mapping, no default character, and back to the same UTF-16);
// nothing otherwise.
std::optional<std::string> exactAnsiForm(std::wstring_view wide);

// `wide` for a message: the characters that have an exact form in the ANSI
// code page as they are, every other one as "<U+0418>".
std::string ansiFormForMessage(std::wstring_view wide);

// The number of the ANSI code page (1252, 932, ...), for messages.
unsigned ansiCodePageNumber();

namespace detail {

// The same in a given code page; tests pass the ones they need.
std::optional<std::string> exactFormInCodePage(unsigned codePage, std::wstring_view wide);
std::string formForMessageInCodePage(unsigned codePage, std::wstring_view wide);

}  // namespace detail

}  // namespace Quor
