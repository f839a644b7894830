#include "plugin/command_escaping.h"

#include "logging/make_error.h"
#include "platform/lead_bytes.h"
#include "plugin/path_utilities.h"

namespace Quor {

namespace {

// The system's ANSI code page (CP_ACP).
constexpr unsigned ansiCodePage = 0;

// Reads as a lone "%" once the interpreter has expanded variables.
constexpr std::string_view literalPercent = "%%cd:~,%";

// What in `text` no command line can carry, or nothing. Read a byte at a
// time: no second byte of a double-byte character lies below 0x40.
const char* uncarriable(unsigned codePage, std::string_view text) {
  for (const char c : text) {
    if (c == '\r' || c == '\n') return "a line break";
    if (c == '\0') return "a NUL character";
    if (static_cast<unsigned char>(c) < 0x20) return "a control character";
    if (c == '"') return "a double quote";
  }
  // The shell hands the command on in UTF-16 and rundll32.exe hands the
  // entry its part back in the code page: only what converts back unchanged
  // arrives as it was meant.
  if (!detail::convertsBackUnchangedInCodePage(codePage, text)) {
    return "bytes that are not characters of the ANSI code page";
  }
  return nullptr;
}

bool takesCaret(char c) { return c == '^' || c == '&' || c == '|' || c == '<' || c == '>'; }

}  // namespace

namespace detail {

Expected<std::string> commandLineTextInCodePage(unsigned codePage, std::string_view text, CommandTextPlace place) {
  if (const char* what = uncarriable(codePage, text)) {
    return makeError(0, "Cannot start the elevated migration: \"%1\" holds %2, which a command line cannot carry.",
                     text, what);
  }
  const LeadBytes leadBytes = codePageLeadBytes(codePage);
  std::string out;
  out.reserve(text.size());
  for (std::size_t index = 0; index < text.size();) {
    const std::size_t length = leadBytes.characterLength(text, index);
    const char c = text[index];
    if (length == 2) {
      out.append(text, index, 2);
    } else if (c == '%') {
      out += literalPercent;
    } else {
      if (place == CommandTextPlace::outsideQuotes && takesCaret(c)) out += '^';
      out += c;
    }
    index += length;
  }
  return out;
}

}  // namespace detail

Expected<std::string> commandLineText(std::string_view text, CommandTextPlace place) {
  return detail::commandLineTextInCodePage(ansiCodePage, text, place);
}

}  // namespace Quor
