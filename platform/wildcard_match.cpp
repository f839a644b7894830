#include "platform/wildcard_match.h"

#include <cstddef>

namespace Quor {

namespace {

char foldAsciiCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameCharacter(std::string_view first, std::string_view second) {
  if (first.size() != second.size()) return false;
  if (first.size() == 1) return foldAsciiCase(first[0]) == foldAsciiCase(second[0]);
  return first == second;
}

bool isSingleByte(std::string_view text, std::size_t index, char wanted, const LeadBytes& leadBytes) {
  return leadBytes.characterLength(text, index) == 1 && text[index] == wanted;
}

}  // namespace

// Only the latest "*" is ever retried with a longer run: whatever an earlier
// "*" would take instead, the latest one can take as well. So the match needs
// no recursion and at most name length × pattern length steps, where trying
// every "*" against every later position could take exponential time.
bool wildcardMatch(std::string_view name, std::string_view pattern, const LeadBytes& leadBytes) {
  constexpr std::size_t none = static_cast<std::size_t>(-1);
  std::size_t namePosition = 0;
  std::size_t patternPosition = 0;
  std::size_t starPosition = none;  // just after the latest "*"
  std::size_t starNamePosition = 0;  // where the run of that "*" ends so far

  while (namePosition < name.size()) {
    if (patternPosition < pattern.size()) {
      const std::size_t patternLength = leadBytes.characterLength(pattern, patternPosition);
      const std::size_t nameLength = leadBytes.characterLength(name, namePosition);
      if (isSingleByte(pattern, patternPosition, '*', leadBytes)) {
        patternPosition += 1;
        starPosition = patternPosition;
        starNamePosition = namePosition;
        continue;
      }
      if (isSingleByte(pattern, patternPosition, '?', leadBytes) ||
          sameCharacter(name.substr(namePosition, nameLength), pattern.substr(patternPosition, patternLength))) {
        patternPosition += patternLength;
        namePosition += nameLength;
        continue;
      }
    }
    if (starPosition == none) return false;
    // The latest "*" takes one more character and the rest is tried again.
    starNamePosition += leadBytes.characterLength(name, starNamePosition);
    namePosition = starNamePosition;
    patternPosition = starPosition;
  }
  // The name is used up: only "*" may remain of the pattern.
  while (patternPosition < pattern.size() && isSingleByte(pattern, patternPosition, '*', leadBytes)) {
    patternPosition += 1;
  }
  return patternPosition == pattern.size();
}

}  // namespace Quor
