// file-holder.exe: keeps files open in a process of its own, the way another
// program (a virus scanner, an editor) would, so tests can see what deleting or
// saving over such a file does.
//
//   file-holder --share=SHARE [--map] --ready=READY_FILE --release=RELEASE_FILE FILE...
//
// Opens every FILE for reading with the share mode SHARE: any combination of
// the letters r (FILE_SHARE_READ), w (FILE_SHARE_WRITE) and d
// (FILE_SHARE_DELETE), or "none". With --map it also maps each file into
// memory, as scanners and indexers do: the file can then still be opened for
// writing, but not cut or replaced (CREATE_ALWAYS fails, with
// ERROR_USER_MAPPED_FILE on Windows). Then creates READY_FILE and waits until
// RELEASE_FILE exists (at most two minutes, so a test that fails half-way
// never leaves it behind for good), closes the files and exits with 0.
// Paths are Windows paths, taken in full from the wide command line. Exit
// code 1 for a usage error, 2 when a file cannot be opened or READY_FILE
// cannot be created.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

int usage() {
  std::fprintf(stderr, "usage: file-holder --share=[r][w][d]|none [--map] --ready=FILE --release=FILE FILE...\n");
  return 1;
}

const wchar_t* option(const wchar_t* argument, const wchar_t* name) {
  const std::size_t length = std::wcslen(name);
  if (std::wcsncmp(argument, name, length) == 0 && argument[length] == L'=') return argument + length + 1;
  return nullptr;
}

bool shareMode(const wchar_t* text, DWORD& mode) {
  mode = 0;
  if (std::wcscmp(text, L"none") == 0) return true;
  if (*text == L'\0') return false;
  for (const wchar_t* c = text; *c != L'\0'; ++c) {
    switch (*c) {
      case L'r': mode |= FILE_SHARE_READ; break;
      case L'w': mode |= FILE_SHARE_WRITE; break;
      case L'd': mode |= FILE_SHARE_DELETE; break;
      default: return false;
    }
  }
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const wchar_t* share = nullptr;
  const wchar_t* ready = nullptr;
  const wchar_t* release = nullptr;
  bool map = false;
  std::vector<const wchar_t*> files;
  for (int index = 1; index < argc; ++index) {
    const wchar_t* value = nullptr;
    if ((value = option(argv[index], L"--share")) != nullptr) {
      share = value;
    } else if ((value = option(argv[index], L"--ready")) != nullptr) {
      ready = value;
    } else if ((value = option(argv[index], L"--release")) != nullptr) {
      release = value;
    } else if (std::wcscmp(argv[index], L"--map") == 0) {
      map = true;
    } else {
      files.push_back(argv[index]);
    }
  }
  DWORD mode = 0;
  if (share == nullptr || ready == nullptr || release == nullptr || files.empty() || !shareMode(share, mode)) {
    return usage();
  }

  std::vector<HANDLE> handles;
  std::vector<HANDLE> mappings;
  std::vector<const void*> views;
  int code = 0;
  for (const wchar_t* file : files) {
    const HANDLE handle = CreateFileW(file, GENERIC_READ, mode, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      std::fprintf(stderr, "file-holder: cannot open %ls (error %lu)\n", file, GetLastError());
      code = 2;
      break;
    }
    handles.push_back(handle);
    if (!map) continue;
    const HANDLE mapping = CreateFileMappingA(handle, nullptr, PAGE_READONLY, 0, 0, nullptr);
    const void* view = mapping != nullptr ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    if (mapping != nullptr) mappings.push_back(mapping);
    if (view == nullptr) {
      std::fprintf(stderr, "file-holder: cannot map %ls (error %lu)\n", file, GetLastError());
      code = 2;
      break;
    }
    views.push_back(view);
  }
  if (code == 0) {
    const HANDLE signal = CreateFileW(ready, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (signal == INVALID_HANDLE_VALUE) {
      std::fprintf(stderr, "file-holder: cannot create %ls (error %lu)\n", ready, GetLastError());
      code = 2;
    } else {
      CloseHandle(signal);
      const ULONGLONG deadline = GetTickCount64() + 120000;
      while (GetFileAttributesW(release) == INVALID_FILE_ATTRIBUTES && GetTickCount64() < deadline) Sleep(20);
    }
  }
  for (const void* view : views) UnmapViewOfFile(view);
  for (const HANDLE mapping : mappings) CloseHandle(mapping);
  for (const HANDLE handle : handles) CloseHandle(handle);
  return code;
}
