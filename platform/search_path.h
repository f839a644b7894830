#pragma once
// Text-level path rules of the directory search: normalization, the split of a
// search path into folder and pattern, and joining within the 260-byte limit.
// Paths are narrow texts in the code page of the given lead bytes.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/lead_bytes.h"

namespace Quor {

// The longest path the search stores: 260 bytes with the terminator.
inline constexpr std::size_t maxSearchPathLength = 259;

enum class TrailingSeparator { Keep, Remove };

// "\" and "/" both become "/" and a run of separators collapses to one, except
// that the first two characters may both be separators ("//server/share"
// keeps its "//"). With TrailingSeparator::Remove one trailing "/" goes, unless
// the path is nothing but its leading separators: "/" stays the root rather
// than becoming the empty text, which the system reads as the current folder.
std::string normalizeSearchPath(std::string_view path, TrailingSeparator trailing, const LeadBytes& leadBytes);

// Whether a normalized search path must not be searched: the empty text, a
// path longer than maxSearchPathLength, one with a zero byte (the system would
// see only the text before it, another path), and every path that begins with
// "ASSETS/" in any case.
bool isRefusedSearchPath(std::string_view normalizedPath);

// A normalized search path cut at its last "/": the folder and the last
// component, the pattern the system applies.
struct SearchPathParts {
  std::string folder;
  std::string pattern;
  // "C:*.lnk": the folder is the drive alone and means that drive's current
  // folder, so its entries are "C:name", not "C:/name".
  bool driveRelative = false;
};

// "C:/T/x*.*" gives folder "C:/T" and pattern "x*.*"; a path without "/" gives
// the empty folder (the current folder), or the drive for "C:x*". When only
// separators precede the last "/" they stay in the folder: the folder of "/*"
// is the root "/", not the empty text.
SearchPathParts splitSearchPath(std::string_view normalizedPath, const LeadBytes& leadBytes);

// `base` and the relative path `part` joined with one "/" between them (none
// when `base` is empty or ends in "/" or "\"), every "\" of `part` turned into
// "/". nullopt when the result is longer than maxSearchPathLength: a path cut
// to fit would name another file or folder.
std::optional<std::string> appendPathPart(std::string_view base, std::string_view part, const LeadBytes& leadBytes);

// Whether a name the system lists is an entry of the search: not empty, not
// "." or "..", and without a character that a Windows file name cannot hold
// (control characters and < > : " / \ | ? *). Such names do reach us from
// other file systems, and joined into a path they would name something else:
// "/" and "\" leave the folder, ":" starts afresh on a drive, "?" and "*"
// make the path a pattern.
bool isListableEntryName(std::string_view name, const LeadBytes& leadBytes);

}  // namespace Quor
