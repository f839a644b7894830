#include "plugin/file_removal.h"

#include <windows.h>

#include <string>

#include "platform/file_stamp.h"

namespace Quor {

namespace {

bool vanished(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

}  // namespace

bool removeFileForce(std::string_view path) {
  const std::string file(path);
  const DWORD attributes = fileAttributes(file);
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  // DeleteFileA cannot delete a folder; answer so before touching its
  // attributes (a folder's read-only bit marks a customized folder).
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;

  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    // An empty set of attributes means "normal".
    DWORD writable = attributes & ~FILE_ATTRIBUTE_READONLY;
    if (writable == 0) writable = FILE_ATTRIBUTE_NORMAL;
    if (!SetFileAttributesA(file.c_str(), writable)) {
      // Gone between the two calls: what was asked for is done.
      return vanished(GetLastError());
    }
  }

  if (fileAttributes(file) == INVALID_FILE_ATTRIBUTES) return true;
  if (DeleteFileA(file.c_str())) return true;
  const DWORD error = GetLastError();
  if (vanished(error)) return true;
  // The file stays: give it back the read-only attribute it had.
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) SetFileAttributesA(file.c_str(), attributes);
  return false;
}

}  // namespace Quor
