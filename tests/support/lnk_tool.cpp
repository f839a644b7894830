// lnk-tool.exe: plants and inspects shortcut files (.lnk) through the shell's
// own IShellLinkW, for shell scripts and tests that run under Wine.
//
//   lnk-tool write LINK [--target=PATH] [--arguments=TEXT]
//                       [--working-directory=PATH] [--icon=PATH] [--icon-index=N]
//                       [--description=TEXT] [--show-command=N] [--hotkey=N]
//     Builds a new shortcut with the given items and saves it as LINK
//     (replacing it). The target need not exist.
//
//   lnk-tool write-relative LINK RELATIVE_TARGET
//     Writes LINK itself, without the shell: a shortcut holding only the
//     target's path relative to LINK's folder, in UTF-16
//     (link_file_bytes.h). Wine 8's shell link would store a target the ANSI
//     code page lacks best-fit mapped, as another path; this form keeps it.
//
//   lnk-tool read LINK
//     Loads LINK (read-only) and prints one "key=value" line per item, in
//     this order:
//       target=             GetPath, flags 0
//       target_short=       GetPath, SLGP_SHORTPATH (what the plugin reads)
//       target_raw=         GetPath, SLGP_RAWPATH
//       arguments=          GetArguments
//       working_directory=  GetWorkingDirectory
//       icon=               GetIconLocation's path
//       icon_index=         GetIconLocation's index
//       description=        GetDescription
//       show_command=       GetShowCmd (Wine 8 answers 1 after a load whatever
//                           the file holds; read the header's ShowCommand at
//                           offset 0x3C for the value written)
//       hotkey=             GetHotkey
//
// Paths are Windows paths (Z:\... for a Unix path under Wine), taken in full
// from the wide command line, so a name the ANSI code page lacks is kept;
// what `read` prints is UTF-8. Output lines end in "\n" only (stdout is
// binary). Exit code 0 on success, 1 for a usage error, 2 when a shell call
// fails (its name and HRESULT on stderr).

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <objbase.h>
#include <objidl.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "link_file_bytes.h"

namespace {

template <class Interface>
struct Held {
  Interface* pointer = nullptr;
  ~Held() {
    if (pointer != nullptr) pointer->Release();
  }
  void** out() { return reinterpret_cast<void**>(&pointer); }
  Interface* operator->() const { return pointer; }
};

int usage() {
  std::fprintf(stderr,
               "usage: lnk-tool write LINK [--target=PATH] [--arguments=TEXT] [--working-directory=PATH]\n"
               "                           [--icon=PATH] [--icon-index=N] [--description=TEXT]\n"
               "                           [--show-command=N] [--hotkey=N]\n"
               "       lnk-tool write-relative LINK RELATIVE_TARGET\n"
               "       lnk-tool read LINK\n");
  return 1;
}

int failed(const char* call, HRESULT result) {
  std::fprintf(stderr, "lnk-tool: %s failed (0x%08lX)\n", call, static_cast<unsigned long>(result));
  return 2;
}

// What `read` prints, in UTF-8.
void printUtf8(const char* key, const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
  if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
  std::printf("%s=%s\n", key, utf8.c_str());
}

// "--name=value": the value when `argument` has that name, else null.
const wchar_t* option(const wchar_t* argument, const wchar_t* name) {
  const std::size_t length = std::wcslen(name);
  if (std::wcsncmp(argument, name, length) == 0 && argument[length] == L'=') return argument + length + 1;
  return nullptr;
}

bool toNumber(const wchar_t* text, long& out) {
  wchar_t* end = nullptr;
  out = std::wcstol(text, &end, 0);
  return *text != L'\0' && *end == L'\0';
}

int writeLink(const wchar_t* linkPath, int count, wchar_t** arguments) {
  Held<IShellLinkW> link;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.out());
  if (FAILED(result)) return failed("CoCreateInstance", result);

  const wchar_t* value = nullptr;
  long number = 0;
  const wchar_t* iconPath = nullptr;
  long iconIndex = 0;
  for (int index = 0; index < count; ++index) {
    const wchar_t* argument = arguments[index];
    if ((value = option(argument, L"--target")) != nullptr) {
      if (FAILED(result = link->SetPath(value))) return failed("SetPath", result);
    } else if ((value = option(argument, L"--arguments")) != nullptr) {
      if (FAILED(result = link->SetArguments(value))) return failed("SetArguments", result);
    } else if ((value = option(argument, L"--working-directory")) != nullptr) {
      if (FAILED(result = link->SetWorkingDirectory(value))) return failed("SetWorkingDirectory", result);
    } else if ((value = option(argument, L"--icon")) != nullptr) {
      iconPath = value;
    } else if ((value = option(argument, L"--icon-index")) != nullptr) {
      if (!toNumber(value, iconIndex)) return usage();
    } else if ((value = option(argument, L"--description")) != nullptr) {
      if (FAILED(result = link->SetDescription(value))) return failed("SetDescription", result);
    } else if ((value = option(argument, L"--show-command")) != nullptr) {
      if (!toNumber(value, number)) return usage();
      if (FAILED(result = link->SetShowCmd(static_cast<int>(number)))) return failed("SetShowCmd", result);
    } else if ((value = option(argument, L"--hotkey")) != nullptr) {
      if (!toNumber(value, number)) return usage();
      if (FAILED(result = link->SetHotkey(static_cast<WORD>(number)))) return failed("SetHotkey", result);
    } else {
      std::fprintf(stderr, "lnk-tool: unknown option %ls\n", argument);
      return usage();
    }
  }
  if (iconPath != nullptr || iconIndex != 0) {
    result = link->SetIconLocation(iconPath != nullptr ? iconPath : L"", static_cast<int>(iconIndex));
    if (FAILED(result)) return failed("SetIconLocation", result);
  }

  Held<IPersistFile> file;
  if (FAILED(result = link->QueryInterface(IID_IPersistFile, file.out()))) return failed("QueryInterface", result);
  if (FAILED(result = file->Save(linkPath, TRUE))) return failed("Save", result);
  return 0;
}

int writeRelativeLink(const wchar_t* linkPath, const wchar_t* relativeTarget) {
  const std::string bytes = QcpTest::linkFileBytes({.relativePath = relativeTarget});
  const HANDLE file = CreateFileW(linkPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return failed("CreateFileW", HRESULT_FROM_WIN32(GetLastError()));
  DWORD written = 0;
  const bool whole = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                     written == bytes.size();
  const DWORD error = whole ? 0 : GetLastError();
  CloseHandle(file);
  if (!whole) return failed("WriteFile", error != 0 ? HRESULT_FROM_WIN32(error) : E_FAIL);
  return 0;
}

int readLink(const wchar_t* linkPath) {
  Held<IShellLinkW> link;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.out());
  if (FAILED(result)) return failed("CoCreateInstance", result);
  Held<IPersistFile> file;
  if (FAILED(result = link->QueryInterface(IID_IPersistFile, file.out()))) return failed("QueryInterface", result);
  if (FAILED(result = file->Load(linkPath, STGM_READ))) return failed("Load", result);

  wchar_t text[INFOTIPSIZE] = {};
  WIN32_FIND_DATAW findData = {};
  const struct {
    const char* key;
    DWORD flags;
  } paths[] = {{"target", 0}, {"target_short", SLGP_SHORTPATH}, {"target_raw", SLGP_RAWPATH}};
  for (const auto& path : paths) {
    text[0] = L'\0';
    findData = {};
    if (FAILED(result = link->GetPath(text, MAX_PATH, &findData, path.flags))) return failed("GetPath", result);
    printUtf8(path.key, text);
  }
  text[0] = L'\0';
  if (FAILED(result = link->GetArguments(text, INFOTIPSIZE))) return failed("GetArguments", result);
  printUtf8("arguments", text);
  text[0] = L'\0';
  if (FAILED(result = link->GetWorkingDirectory(text, MAX_PATH))) return failed("GetWorkingDirectory", result);
  printUtf8("working_directory", text);
  text[0] = L'\0';
  int iconIndex = 0;
  if (FAILED(result = link->GetIconLocation(text, MAX_PATH, &iconIndex))) return failed("GetIconLocation", result);
  printUtf8("icon", text);
  std::printf("icon_index=%d\n", iconIndex);
  text[0] = L'\0';
  if (FAILED(result = link->GetDescription(text, INFOTIPSIZE))) return failed("GetDescription", result);
  printUtf8("description", text);
  int showCommand = 0;
  if (FAILED(result = link->GetShowCmd(&showCommand))) return failed("GetShowCmd", result);
  std::printf("show_command=%d\n", showCommand);
  WORD hotkey = 0;
  if (FAILED(result = link->GetHotkey(&hotkey))) return failed("GetHotkey", result);
  std::printf("hotkey=%u\n", static_cast<unsigned>(hotkey));
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc < 3) return usage();
  const HRESULT initialized = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int code = 1;
  if (std::wcscmp(argv[1], L"write") == 0) {
    code = writeLink(argv[2], argc - 3, argv + 3);
  } else if (std::wcscmp(argv[1], L"write-relative") == 0 && argc == 4) {
    code = writeRelativeLink(argv[2], argv[3]);
  } else if (std::wcscmp(argv[1], L"read") == 0 && argc == 3) {
    code = readLink(argv[2]);
  } else {
    code = usage();
  }
  std::fflush(stdout);
  if (SUCCEEDED(initialized)) CoUninitialize();
  return code;
}
