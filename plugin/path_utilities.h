#pragma once
// Text-level path operations and path normalization of the migration.
// Paths are narrow texts in the system's ANSI code page, at most
// 260 bytes (MAX_PATH) with the terminator.
//
// Separators are found a character at a time: in a double-byte code page
// (932, 936, 949, 950) the second byte of a character may be 0x5C, the byte of
// "\", and is never taken for a separator. In single-byte code pages this
// changes nothing.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "logging/expected.h"

namespace Quor {

// Working buffers of the routines, terminator included.
inline constexpr std::size_t maxPathBytes = 260;

// One argument of joinPath: a text, or absent (a default argument or a null
// C text); absent and empty parts are skipped alike.
class PathPart {
 public:
  PathPart() = default;
  PathPart(const char* text) : text_(text != nullptr ? std::string_view(text) : std::string_view()) {}
  PathPart(std::string_view text) : text_(text) {}
  PathPart(const std::string& text) : text_(text) {}

  std::string_view text() const { return text_; }

 private:
  std::string_view text_;
};

// Joins up to eight parts, the first being the base, into one 260-byte buffer:
// - absent and empty parts are skipped;
// - a part that begins with "/" or "\" or whose second character is ":" is
//   absolute and starts the result afresh;
// - a "/" goes between the text so far and the next part unless the text ends
//   in "/" or "\" (and only while a byte of room is left);
// - a part that does not fit in the room left ends the joining: the result is
//   what was built before it (with the "/" already written for it);
// - every "\" of the parts becomes "/", the base's included.
// joinPath("C:\\a\\b", "..", "..") == "C:/a/b/../..";
// joinPath("C:/x", "D:\\y") == "D:/y";
// joinPath("C:\\Windows\\system32", "cmd.exe") == "C:/Windows/system32/cmd.exe".
std::string joinPath(PathPart part1, PathPart part2 = {}, PathPart part3 = {}, PathPart part4 = {},
                     PathPart part5 = {}, PathPart part6 = {}, PathPart part7 = {}, PathPart part8 = {});

// `wide` as a narrow path: its exact form in the ANSI code page
// (ansi_path_form.h), of at most 259 bytes. Fails (code 0) with "<subject>
// <path> has characters that the ANSI code page <number> cannot hold." (the
// path as far as the code page can show it) or "<subject> <path> is longer
// than 259 bytes.".
Expected<std::string> narrowPath(std::wstring_view wide, std::string_view subject);

// How the refusals of currentDirectory and executableDirectory begin.
inline constexpr char currentDirectorySubject[] = "Cannot find the installation root: the current directory";
inline constexpr char clientFolderSubject[] = "Cannot start the elevated migration: the client folder";

// The process's current directory in the ANSI code page, read in full
// (GetCurrentDirectoryW) and converted exactly (ansi_path_form.h). Fails
// (code 0, the directory named as far as the code page can show it) when it
// cannot be read, has a character the code page lacks, or takes more than
// 259 bytes: such a text would name another folder, or none.
Expected<std::string> currentDirectory();

// The folder of the process's executable (not of this library), ending in
// "\": "C:\Games\T\Client\" for "C:\Games\T\Client\TessarynClient.exe". Read in
// full (GetModuleFileNameW) and converted exactly; fails (code 0) as
// currentDirectory does, and when the module's path cannot be read or split.
Expected<std::string> executableDirectory();

// `path` with "/" made "\" and its "." and ".." steps removed
// (PathCanonicalizeA), whether or not it exists. Error: 61 "Failed to
// canonicalize %s" (the path with "\" separators).
Expected<std::string> canonicalPath(std::string_view path);

// The canonical long form of `path`: "/" become "\", PathCanonicalizeA removes
// "." and ".." steps, GetLongPathNameW expands 8.3 names (the path must
// exist), and the long form is converted exactly (ansi_path_form.h).
// Errors: 61 "Failed to canonicalize %s" (the path with "\" separators),
// 62 "Failed to get long path name for %s" (the canonical path), also when
// the long form has no exact form in the code page or takes more than
// 259 bytes in it: the 8.3 name of a folder whose name the code page lacks
// would otherwise expand to a look-alike, another folder.
Expected<std::string> canonicalLongPath(std::string_view path);

// True when `path` is `directory` itself or lies below it: one trailing "/" or
// "\" of `directory` is ignored, `path` must begin with `directory` (case
// ignored, as the file system ignores it) and continue with its end, "/" or
// "\". An empty `directory` contains only the empty path.
bool isPathWithin(std::string_view directory, std::string_view path);

// The text after the last "/", "\" or ":"; the whole text when there is none.
std::string fileNamePart(std::string_view path);

namespace detail {

// The text operations above for texts in a given code page (CP_ACP = 0 is the
// system's ANSI code page, which the public functions use). Tests pass a
// double-byte code page here.
std::string joinPathInCodePage(unsigned codePage, std::span<const std::string_view> parts);
std::string fileNamePartInCodePage(unsigned codePage, std::string_view path);
bool isPathWithinInCodePage(unsigned codePage, std::string_view directory, std::string_view path);

// Whether `text` comes back byte for byte from UTF-16 into `codePage`: false
// for a lead byte without its second byte and for bytes the code page does
// not map.
bool convertsBackUnchangedInCodePage(unsigned codePage, std::string_view text);

// `text` (ANSI code page) in UTF-16, NUL-terminated, into `buffer` of
// `capacity` wide characters (maxPathBytes for the shell's paths); false when
// it does not fit.
bool toWidePath(std::string_view text, wchar_t* buffer, std::size_t capacity);

}  // namespace detail

}  // namespace Quor
