#include "plugin/path_utilities.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "logging/make_error.h"
#include "plugin/ansi_path_form.h"
#include "plugin/shell_error_codes.h"

namespace Quor {

namespace {

// Characters of a path in a buffer of maxPathBytes, terminator excluded.
constexpr std::size_t maxPathCharacters = maxPathBytes - 1;

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// The number of bytes of the character that starts at `index`: 2 for a lead
// byte of a double-byte code page followed by its second byte, else 1.
std::size_t characterLength(unsigned codePage, std::string_view text, std::size_t index) {
  if (index + 1 < text.size() && IsDBCSLeadByteEx(codePage, static_cast<BYTE>(text[index]))) return 2;
  return 1;
}

// Whether the last character of `text` is "/" or "\" (a second byte 0x5C of a
// double-byte character is not).
bool endsWithSeparator(unsigned codePage, std::string_view text) {
  bool last = false;
  for (std::size_t index = 0; index < text.size();) {
    const std::size_t length = characterLength(codePage, text, index);
    last = length == 1 && isSeparator(text[index]);
    index += length;
  }
  return last;
}

// Appends `part`, with every "\" character turned into "/".
void appendWithSlashes(unsigned codePage, std::string& out, std::string_view part) {
  for (std::size_t index = 0; index < part.size();) {
    const std::size_t length = characterLength(codePage, part, index);
    if (length == 1 && part[index] == '\\') {
      out += '/';
    } else {
      out.append(part, index, length);
    }
    index += length;
  }
}

bool isAbsolutePart(std::string_view part) {
  return isSeparator(part[0]) || (part.size() >= 2 && part[1] == ':');
}

// `text` in UTF-16 (code page `codePage`); false when it cannot be converted.
bool toWide(unsigned codePage, std::string_view text, std::wstring& out) {
  out.clear();
  if (text.empty()) return true;
  const int size = static_cast<int>(text.size());
  const int needed = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  if (needed <= 0) return false;
  out.resize(static_cast<std::size_t>(needed));
  return MultiByteToWideChar(codePage, 0, text.data(), size, out.data(), needed) == needed;
}

bool isWideSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

// Case-insensitive comparison the way the file system compares names.
bool equalIgnoringCase(const wchar_t* first, const wchar_t* second, std::size_t length) {
  if (length == 0) return true;
  return CompareStringOrdinal(first, static_cast<int>(length), second, static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

}  // namespace

namespace detail {

std::string joinPathInCodePage(unsigned codePage, std::span<const std::string_view> parts) {
  std::string result;
  result.reserve(maxPathCharacters);
  for (const std::string_view part : parts) {
    if (part.empty()) continue;
    if (isAbsolutePart(part)) result.clear();
    if (!result.empty() && !endsWithSeparator(codePage, result) && result.size() < maxPathCharacters) {
      result += '/';
    }
    if (part.size() > maxPathCharacters - result.size()) break;
    appendWithSlashes(codePage, result, part);
  }
  return result;
}

std::string fileNamePartInCodePage(unsigned codePage, std::string_view path) {
  std::size_t start = 0;
  for (std::size_t index = 0; index < path.size();) {
    const std::size_t length = characterLength(codePage, path, index);
    if (length == 1 && (isSeparator(path[index]) || path[index] == ':')) start = index + 1;
    index += length;
  }
  return std::string(path.substr(start));
}

bool isPathWithinInCodePage(unsigned codePage, std::string_view directory, std::string_view path) {
  if (directory.empty()) return path.empty();
  std::wstring wideDirectory;
  std::wstring widePath;
  // A text that cannot be converted is never taken to lie inside.
  if (!toWide(codePage, directory, wideDirectory) || !toWide(codePage, path, widePath)) return false;
  if (!wideDirectory.empty() && isWideSeparator(wideDirectory.back())) wideDirectory.pop_back();
  const std::size_t prefix = wideDirectory.size();
  if (widePath.size() < prefix) return false;
  if (!equalIgnoringCase(widePath.data(), wideDirectory.data(), prefix)) return false;
  return widePath.size() == prefix || isWideSeparator(widePath[prefix]);
}

bool convertsBackUnchangedInCodePage(unsigned codePage, std::string_view text) {
  std::wstring wide;
  if (!toWide(codePage, text, wide)) return false;
  if (wide.empty()) return true;
  const int wideSize = static_cast<int>(wide.size());
  const int needed = WideCharToMultiByte(codePage, 0, wide.data(), wideSize, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return false;
  std::string back(static_cast<std::size_t>(needed), '\0');
  return WideCharToMultiByte(codePage, 0, wide.data(), wideSize, back.data(), needed, nullptr, nullptr) == needed &&
         back == text;
}

bool toWidePath(std::string_view text, wchar_t* buffer, std::size_t capacity) {
  if (capacity == 0) return false;
  buffer[0] = L'\0';
  if (text.empty()) return true;
  // The terminator needs one place.
  const int written = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), buffer,
                                          static_cast<int>(capacity - 1));
  if (written <= 0) {
    buffer[0] = L'\0';
    return false;
  }
  buffer[written] = L'\0';
  return true;
}

}  // namespace detail

std::string joinPath(PathPart part1, PathPart part2, PathPart part3, PathPart part4, PathPart part5, PathPart part6,
                     PathPart part7, PathPart part8) {
  const std::array<std::string_view, 8> parts{part1.text(), part2.text(), part3.text(), part4.text(),
                                              part5.text(), part6.text(), part7.text(), part8.text()};
  return detail::joinPathInCodePage(CP_ACP, parts);
}

Expected<std::string> narrowPath(std::wstring_view wide, std::string_view subject) {
  const std::optional<std::string> exact = exactAnsiForm(wide);
  if (!exact) {
    return makeError(0, std::string(subject) + " %1 has characters that the ANSI code page %2 cannot hold.",
                     ansiFormForMessage(wide), ansiCodePageNumber());
  }
  if (exact->size() > maxPathCharacters) {
    return makeError(0, std::string(subject) + " %1 is longer than 259 bytes.", *exact);
  }
  return *exact;
}

namespace {

// A wide path from a call that answers with the length written, or the size
// it needs when the buffer is too small, or 0 on failure.
template <class Read>
std::optional<std::wstring> readWidePath(const Read& read) {
  std::wstring buffer(maxPathBytes, L'\0');
  for (int attempt = 0; attempt < 8; ++attempt) {
    const DWORD length = read(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::nullopt;
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    // The longest path Windows has is 32,767 characters.
    if (buffer.size() >= 32768) return std::nullopt;
    buffer.resize(std::min<std::size_t>(std::max<std::size_t>(length + 1, buffer.size() * 2), 32768));
  }
  return std::nullopt;
}

}  // namespace

Expected<std::string> currentDirectory() {
  const std::optional<std::wstring> wide =
      readWidePath([](wchar_t* buffer, DWORD size) { return GetCurrentDirectoryW(size, buffer); });
  if (!wide) return makeError(0, "Cannot find the installation root: the current directory cannot be read.");
  return narrowPath(*wide, currentDirectorySubject);
}

Expected<std::string> executableDirectory() {
  std::optional<std::wstring> path = readWidePath([](wchar_t* buffer, DWORD size) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer, size);
    // A cut path fills the buffer; ask for more.
    return length >= size ? size + 1 : length;
  });
  if (!path) return makeError(0, "Cannot start the elevated migration: the client's own path cannot be read.");
  // A path that ends in a separator names no file: its last folder goes.
  if (!path->empty() && (path->back() == L'\\' || path->back() == L'/')) path->pop_back();
  const std::size_t separator = path->find_last_of(L"\\/");
  if (separator == std::wstring::npos) {
    return makeError(0, "Cannot start the elevated migration: the client's own path %1 names no folder.",
                     ansiFormForMessage(*path));
  }
  return narrowPath(std::wstring_view(*path).substr(0, separator + 1), clientFolderSubject);
}

Expected<std::string> canonicalPath(std::string_view path) {
  // "/" (0x2F) is never the second byte of a double-byte character, so a
  // plain byte replacement is safe in every ANSI code page.
  std::string backslashed(path);
  for (char& c : backslashed) {
    if (c == '/') c = '\\';
  }

  char canonical[maxPathBytes] = {};
  // PathCanonicalizeA reads at most MAX_PATH characters; a longer text cannot
  // be canonicalized into the buffer.
  if (backslashed.size() >= maxPathBytes || !PathCanonicalizeA(canonical, backslashed.c_str())) {
    return makeError(ShellErrorCode::canonicalize, "Failed to canonicalize %s", backslashed);
  }
  return std::string(canonical);
}

Expected<std::string> canonicalLongPath(std::string_view path) {
  Expected<std::string> canonical = canonicalPath(path);
  if (!canonical) return canonical;
  // The long form in full, then exactly in the code page: GetLongPathNameA
  // puts a look-alike where the code page lacks a character of a long name,
  // and the 8.3 name of "C:\Ｇａｍｅｓ" came back as "C:\Games".
  wchar_t widePath[maxPathBytes];
  wchar_t longPath[maxPathBytes] = {};
  // 0 is failure; a length of the buffer's size or more is the size the long
  // form would need, and nothing usable was written.
  const DWORD length = detail::toWidePath(*canonical, widePath, maxPathBytes)
                           ? GetLongPathNameW(widePath, longPath, static_cast<DWORD>(maxPathBytes))
                           : 0;
  const std::optional<std::string> exact =
      length > 0 && length < maxPathBytes ? exactAnsiForm(std::wstring_view(longPath, length)) : std::nullopt;
  if (!exact || exact->size() > maxPathCharacters) {
    return makeError(ShellErrorCode::longPathName, "Failed to get long path name for %s", *canonical);
  }
  return *exact;
}

bool isPathWithin(std::string_view directory, std::string_view path) {
  return detail::isPathWithinInCodePage(CP_ACP, directory, path);
}

std::string fileNamePart(std::string_view path) { return detail::fileNamePartInCodePage(CP_ACP, path); }

}  // namespace Quor
