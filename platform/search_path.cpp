#include "platform/search_path.h"

namespace Quor {

namespace {

bool isSeparatorByte(char c) { return c == '/' || c == '\\'; }

bool isSingleByteSeparator(std::string_view text, std::size_t index, const LeadBytes& leadBytes) {
  return leadBytes.characterLength(text, index) == 1 && isSeparatorByte(text[index]);
}

bool endsWithSeparator(std::string_view text, const LeadBytes& leadBytes) {
  bool last = false;
  for (std::size_t index = 0; index < text.size();) {
    const std::size_t length = leadBytes.characterLength(text, index);
    last = length == 1 && isSeparatorByte(text[index]);
    index += length;
  }
  return last;
}

bool onlySeparators(std::string_view text) { return text.find_first_not_of('/') == std::string_view::npos; }

bool isForbiddenInFileName(char c) {
  const unsigned char byte = static_cast<unsigned char>(c);
  if (byte < 0x20) return true;
  constexpr std::string_view forbidden = "<>:\"/\\|?*";
  return forbidden.find(c) != std::string_view::npos;
}

char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string normalizeSearchPath(std::string_view path, TrailingSeparator trailing, const LeadBytes& leadBytes) {
  std::string normalized;
  normalized.reserve(path.size());
  bool lastWasSeparator = false;
  for (std::size_t index = 0; index < path.size();) {
    const std::size_t length = leadBytes.characterLength(path, index);
    if (length == 1 && isSeparatorByte(path[index])) {
      // index 1 after a separator at 0: the leading "//" of a network path.
      if (!lastWasSeparator || index == 1) normalized += '/';
      lastWasSeparator = true;
    } else {
      normalized.append(path, index, length);
      lastWasSeparator = false;
    }
    index += length;
  }
  if (trailing == TrailingSeparator::Remove && lastWasSeparator && !onlySeparators(normalized)) {
    normalized.pop_back();
  }
  return normalized;
}

bool isRefusedSearchPath(std::string_view normalizedPath) {
  if (normalizedPath.empty() || normalizedPath.size() > maxSearchPathLength) return true;
  if (normalizedPath.find('\0') != std::string_view::npos) return true;
  constexpr std::string_view refusedPrefix = "ASSETS/";
  if (normalizedPath.size() < refusedPrefix.size()) return false;
  for (std::size_t index = 0; index < refusedPrefix.size(); ++index) {
    if (upperAscii(normalizedPath[index]) != refusedPrefix[index]) return false;
  }
  return true;
}

SearchPathParts splitSearchPath(std::string_view normalizedPath, const LeadBytes& leadBytes) {
  std::size_t lastSeparator = std::string_view::npos;
  for (std::size_t index = 0; index < normalizedPath.size();) {
    if (isSingleByteSeparator(normalizedPath, index, leadBytes)) lastSeparator = index;
    index += leadBytes.characterLength(normalizedPath, index);
  }

  SearchPathParts parts;
  if (lastSeparator == std::string_view::npos) {
    if (normalizedPath.size() >= 2 && normalizedPath[1] == ':' && leadBytes.characterLength(normalizedPath, 0) == 1) {
      parts.folder = normalizedPath.substr(0, 2);
      parts.pattern = normalizedPath.substr(2);
      parts.driveRelative = true;
    } else {
      parts.pattern = normalizedPath;
    }
    return parts;
  }
  const std::string_view folder = normalizedPath.substr(0, lastSeparator);
  parts.folder = onlySeparators(folder) ? normalizedPath.substr(0, lastSeparator + 1) : folder;
  parts.pattern = normalizedPath.substr(lastSeparator + 1);
  return parts;
}

std::optional<std::string> appendPathPart(std::string_view base, std::string_view part, const LeadBytes& leadBytes) {
  std::string joined(base);
  if (!part.empty() && !joined.empty() && !endsWithSeparator(joined, leadBytes)) joined += '/';
  for (std::size_t index = 0; index < part.size();) {
    const std::size_t length = leadBytes.characterLength(part, index);
    if (length == 1 && part[index] == '\\') {
      joined += '/';
    } else {
      joined.append(part, index, length);
    }
    index += length;
  }
  if (joined.size() > maxSearchPathLength) return std::nullopt;
  return joined;
}

bool isListableEntryName(std::string_view name, const LeadBytes& leadBytes) {
  if (name.empty() || name == "." || name == "..") return false;
  for (std::size_t index = 0; index < name.size();) {
    const std::size_t length = leadBytes.characterLength(name, index);
    if (length == 1 && isForbiddenInFileName(name[index])) return false;
    index += length;
  }
  return true;
}

}  // namespace Quor
