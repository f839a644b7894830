#pragma once
// Helpers of the shell link and path utility tests, reusable by the
// other plugin tests: a COM apartment per test, a scratch folder, and readers
// of files and of the .lnk header.

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../support/link_file_bytes.h"

namespace QcpTest {

// Initializes COM single-threaded on the calling thread for its lifetime, as
// migrateShortcuts does.
class ComApartment {
 public:
  ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};

// `text` (ANSI code page) in UTF-16.
inline std::wstring widened(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  wide.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                                           wide.data(), static_cast<int>(wide.size()))));
  return wide;
}

// A fresh folder under the Windows temp folder, unique per process and
// instance, deleted with everything in it (read-only files included) at the
// end. path() has "\" separators and no trailing separator.
class ScratchFolder {
 public:
  ScratchFolder() {
    static std::atomic<unsigned> counter{0};
    char temp[MAX_PATH] = {};
    const DWORD length = GetTempPathA(MAX_PATH, temp);
    std::string base = length > 0 && length < MAX_PATH ? std::string(temp, length) : std::string(".\\");
    if (base.back() != '\\') base += '\\';
    path_ = base + "qcp-plugin-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
    removeTree(path_);
    created_ = CreateDirectoryA(path_.c_str(), nullptr) != 0;
  }
  ~ScratchFolder() { removeTree(path_); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  bool created() const { return created_; }
  const std::string& path() const { return path_; }
  // `name` inside the folder.
  std::string file(const std::string& name) const { return path_ + "\\" + name; }

 private:
  // Wide, so that names the ANSI code page lacks go too.
  static void removeTree(const std::string& folder) { removeTree(widened(folder)); }
  static void removeTree(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring child = folder + L"\\" + name;
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
          removeTree(child);
        } else {
          DeleteFileW(child.c_str());
        }
      } while (FindNextFileW(search, &entry));
      FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
  }

  std::string path_;
  bool created_ = false;
};

inline bool writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// A new empty file at a path in full (whatever the ANSI code page lacks).
inline bool createEmptyFile(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  return file != INVALID_HANDLE_VALUE && CloseHandle(file);
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The lines of a text file ("\n" or "\r\n" line ends); none when it is missing.
inline std::vector<std::string> readLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The fixed header of a .lnk file ([MS-SHLLINK] 2.1), read from its bytes.
struct LinkHeader {
  bool valid = false;
  std::uint32_t linkFlags = 0;  // offset 0x14
  std::int32_t iconIndex = 0;   // offset 0x38
  std::uint32_t showCommand = 0;  // offset 0x3C
  std::uint16_t hotKey = 0;     // offset 0x40

  // LinkFlags bits.
  static constexpr std::uint32_t hasLinkTargetIdList = 1u << 0;
  static constexpr std::uint32_t hasLinkInfo = 1u << 1;
  static constexpr std::uint32_t hasName = 1u << 2;
  static constexpr std::uint32_t hasRelativePath = 1u << 3;
  static constexpr std::uint32_t hasWorkingDir = 1u << 4;
  static constexpr std::uint32_t hasArguments = 1u << 5;
  static constexpr std::uint32_t hasIconLocation = 1u << 6;
};

inline LinkHeader readLinkHeader(const std::string& path) {
  LinkHeader header;
  const std::string bytes = readFile(path);
  auto u32 = [&](std::size_t offset) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + 3])) << 24;
  };
  // HeaderSize 0x4C, then the class identifier.
  if (bytes.size() < 0x4C || u32(0) != 0x4C ||
      bytes.compare(4, 16, reinterpret_cast<const char*>(shellLinkClassBytes), 16) != 0) {
    return header;
  }
  header.valid = true;
  header.linkFlags = u32(0x14);
  header.iconIndex = static_cast<std::int32_t>(u32(0x38));
  header.showCommand = u32(0x3C);
  header.hotKey = static_cast<std::uint16_t>(u32(0x40) & 0xFFFF);
  return header;
}

// Writes a shortcut with the shell's own IShellLinkA, with arguments and a
// description beside the target, working directory and icon, as a player's
// legacy shortcut would have them. The calling thread has COM initialized.
inline HRESULT writeLegacyShortcut(const std::string& linkPath, const std::string& target,
                                   const std::string& arguments, const std::string& workingDirectory,
                                   const std::string& iconPath, int iconIndex, const std::string& description) {
  IShellLinkA* link = nullptr;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    reinterpret_cast<void**>(&link));
  if (FAILED(result)) return result;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(result = link->SetPath(target.c_str())) && SUCCEEDED(result = link->SetArguments(arguments.c_str())) &&
      SUCCEEDED(result = link->SetWorkingDirectory(workingDirectory.c_str())) &&
      SUCCEEDED(result = link->SetIconLocation(iconPath.c_str(), iconIndex)) &&
      SUCCEEDED(result = link->SetDescription(description.c_str())) &&
      SUCCEEDED(result = link->SetHotkey(MAKEWORD('T', HOTKEYF_CONTROL | HOTKEYF_ALT))) &&
      SUCCEEDED(result = link->SetShowCmd(SW_SHOWMINNOACTIVE)) &&
      SUCCEEDED(result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    wchar_t wide[MAX_PATH] = {};
    if (MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH) == 0) {
      result = E_INVALIDARG;
    } else {
      result = file->Save(wide, TRUE);
    }
    file->Release();
  }
  link->Release();
  return result;
}

// What the shell itself reads back from a shortcut (IShellLinkA).
struct ShellView {
  HRESULT result = E_FAIL;
  std::string target;
  std::string arguments;
  std::string workingDirectory;
  std::string iconPath;
  int iconIndex = -1;
  std::string description;
  WORD hotKey = 0;
  int showCommand = 0;
};

inline ShellView readWithShell(const std::string& linkPath) {
  ShellView view;
  IShellLinkA* link = nullptr;
  view.result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link));
  if (FAILED(view.result)) return view;
  IPersistFile* file = nullptr;
  wchar_t wide[MAX_PATH] = {};
  MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH);
  if (SUCCEEDED(view.result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(view.result = file->Load(wide, STGM_READ))) {
    char text[INFOTIPSIZE] = {};
    WIN32_FIND_DATAA findData = {};
    link->GetPath(text, MAX_PATH, &findData, SLGP_RAWPATH);
    view.target = text;
    text[0] = '\0';
    link->GetArguments(text, sizeof text);
    view.arguments = text;
    text[0] = '\0';
    link->GetWorkingDirectory(text, MAX_PATH);
    view.workingDirectory = text;
    text[0] = '\0';
    link->GetIconLocation(text, MAX_PATH, &view.iconIndex);
    view.iconPath = text;
    text[0] = '\0';
    link->GetDescription(text, sizeof text);
    view.description = text;
    link->GetHotkey(&view.hotKey);
    link->GetShowCmd(&view.showCommand);
  }
  if (file != nullptr) file->Release();
  link->Release();
  return view;
}

}  // namespace QcpTest
