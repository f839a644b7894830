#include "formats/json_number_guard.h"

#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <utility>

namespace Quor {

namespace {

// Exponents with this many significant digits or more are rewritten.
constexpr std::size_t hugeExponentDigits = 5;
constexpr char safeExponent[] = "9999";
static_assert(sizeof(safeExponent) - 1 < hugeExponentDigits);

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isHugeExponent(const char* digits) {
  while (*digits == '0') ++digits;
  for (std::size_t count = 0; isDigit(digits[count]);) {
    if (++count >= hugeExponentDigits) return true;
  }
  return false;
}

// Whether the text at `marker`, an "e" or "E" followed by "-", or the "-"
// after one, starts a huge negative exponent of a number.
bool isHugeNegativeExponentAt(const char* text, const char* minus) {
  return minus - text >= 2 && (minus[-1] == 'e' || minus[-1] == 'E') && isDigit(minus[-2]) &&
         isHugeExponent(minus + 1);
}

// The first `mark` in [from, end), or null: memchr on a text of known
// length is much faster than strchr, which must watch for the end too.
const char* find(const char* from, const char* end, char mark) {
  return static_cast<const char*>(std::memchr(from, mark, static_cast<std::size_t>(end - from)));
}

// Any "<digit>e-<huge>" in [from, end), found by its "e" or "E": for texts
// where "-" is too common to look for.
bool holdsHugeNegativeExponentByLetter(const char* text, const char* from, const char* end) {
  for (const char letter : {'e', 'E'}) {
    for (const char* found = find(from, end, letter); found != nullptr; found = find(found + 1, end, letter)) {
      if (found[1] == '-' && isHugeNegativeExponentAt(text, found + 1)) return true;
    }
  }
  return false;
}

// One cheap pass over the whole text: is there any "<digit>e-<huge>" at
// all? Matches inside strings are false alarms that the exact pass settles.
// "-" is the rarer mark in most texts; in one of negative numbers (a "-"
// every few bytes) the letters are, and each mark found costs a call.
bool mayHoldHugeNegativeExponent(const char* text, std::size_t length) {
  constexpr std::size_t denseMarks = 64;
  constexpr std::size_t bytesPerSparseMark = 256;
  const char* end = text + length;
  std::size_t marks = 0;
  for (const char* minus = find(text, end, '-'); minus != nullptr; minus = find(minus + 1, end, '-')) {
    if (isHugeNegativeExponentAt(text, minus)) return true;
    if (++marks == denseMarks && static_cast<std::size_t>(minus - text) < denseMarks * bytesPerSparseMark) {
      return holdsHugeNegativeExponentByLetter(text, minus + 1, end);
    }
  }
  return false;
}

// Reads the number token at `position` (as the tokenizer would: sign, integer
// digits, fraction, exponent), rewrites a huge negative exponent and returns
// the position after the token. The text ends in a NUL, which stops every run.
std::size_t rewriteNumber(std::string& text, std::size_t position, bool& changed) {
  if (text[position] == '-') ++position;
  while (isDigit(text[position])) ++position;
  if (text[position] == '.') {
    ++position;
    while (isDigit(text[position])) ++position;
  }
  if (text[position] != 'e' && text[position] != 'E') return position;
  ++position;
  const bool negative = text[position] == '-';
  if (text[position] == '-' || text[position] == '+') ++position;
  const std::size_t first = position;
  while (isDigit(text[position])) ++position;
  if (negative && isHugeExponent(text.c_str() + first)) {
    const std::size_t safeLength = sizeof(safeExponent) - 1;
    std::memset(&text[first], '0', position - first - safeLength);
    std::memcpy(&text[position - safeLength], safeExponent, safeLength);
    changed = true;
  }
  return position;
}

}  // namespace

bool rewriteHugeNegativeExponents(const char* text, std::size_t length, std::string& rewritten) {
  if (!mayHoldHugeNegativeExponent(text, length)) return false;
  std::string copy(text, length);
  bool changed = false;
  bool inString = false;
  std::size_t position = 0;
  while (position < copy.size()) {
    const char c = copy[position];
    if (inString) {
      if (c == '\\') {
        position += 2;
        continue;
      }
      if (c == '"') inString = false;
      ++position;
    } else if (c == '"') {
      inString = true;
      ++position;
    } else if (c == '-' || isDigit(c)) {
      position = rewriteNumber(copy, position, changed);
    } else {
      ++position;
    }
  }
  if (!changed) return false;
  rewritten = std::move(copy);
  return true;
}

}  // namespace Quor
