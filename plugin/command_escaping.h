#pragma once
// Texts written into the command line of `cmd.exe /D /E:ON /V:OFF /C ...`
// so that the interpreter hands them on exactly as they are. The scheme rests
// on the switches:
// - /E:ON keeps the dynamic variable "cd" and its substrings: "%cd:~,%" (no
//   characters of it) expands to nothing, so "%%cd:~,%" is read as a lone
//   "%", inside quotes too, where no caret helps and "%NAME%" would
//   otherwise be expanded;
// - /V:OFF keeps "!" literal whatever the registry says;
// - outside quotes a caret makes the next character literal: "^" and "&"
//   get one (and "|", "<", ">", which a folder name cannot hold); blanks,
//   "(", ")", ",", ";", "=" stay as they are, harmless after a command's
//   first word outside a block;
// - inside quotes only "%" is read.
// Characters are taken whole: in the double-byte code pages (932, 936, 949,
// 950) the second byte of a character may be 0x5E "^" or 0x7C "|" and is no
// character of its own. What no command line can carry (control characters,
// line breaks and NUL among them, a double quote, bytes that are no
// characters of the code page) is refused with an error (code 0) naming it.

#include <string>
#include <string_view>

#include "logging/expected.h"

namespace Quor {

enum class CommandTextPlace { outsideQuotes, insideQuotes };

// `text` (ANSI code page) as it is to be written at `place`.
Expected<std::string> commandLineText(std::string_view text, CommandTextPlace place);

namespace detail {

// The same for a text in a given code page; tests pass a double-byte one.
Expected<std::string> commandLineTextInCodePage(unsigned codePage, std::string_view text, CommandTextPlace place);

}  // namespace detail

}  // namespace Quor
