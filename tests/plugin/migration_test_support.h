#pragma once
// Helpers of the shortcut migration tests: an installation root with the
// legacy executables, shortcut folders in a scratch folder, a snapshot of a
// folder tree's files, and a logger that keeps every line.

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "../logging/capturing_log_target.h"
#include "logging/logger.h"
#include "shell_test_support.h"

namespace QcpTest {

inline std::string withSlashes(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

// Creates every missing folder of `path` (a folder path, "\" separators).
inline bool makeFolders(const std::string& path) {
  for (std::size_t index = path.find('\\', 3); index != std::string::npos; index = path.find('\\', index + 1)) {
    CreateDirectoryA(path.substr(0, index).c_str(), nullptr);
  }
  CreateDirectoryA(path.c_str(), nullptr);
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The folder part of a file path with "\" separators.
inline std::string folderOf(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

// Every file below `folder` (relative path with "\" -> bytes).
inline void collectFiles(const std::string& folder, const std::string& relative,
                         std::map<std::string, std::string>& files) {
  WIN32_FIND_DATAA entry;
  const std::string here = relative.empty() ? folder : folder + "\\" + relative;
  const HANDLE search = FindFirstFileA((here + "\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    const std::string child = relative.empty() ? name : relative + "\\" + name;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      collectFiles(folder, child, files);
    } else {
      files[child] = readFile(folder + "\\" + child);
    }
  } while (FindNextFileA(search, &entry));
  FindClose(search);
}

inline std::map<std::string, std::string> snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  collectFiles(folder, "", files);
  return files;
}

// A shortcut with a description but no target at all.
inline HRESULT writeTargetlessShortcut(const std::string& linkPath) {
  IShellLinkA* link = nullptr;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    reinterpret_cast<void**>(&link));
  if (FAILED(result)) return result;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(result = link->SetDescription("No target")) &&
      SUCCEEDED(result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    wchar_t wide[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH);
    result = file->Save(wide, TRUE);
    file->Release();
  }
  link->Release();
  return result;
}

// The process's logger for one test, at every level, with the console
// targets taken off and every message kept.
class CapturedLog {
 public:
  CapturedLog() {
    Quor::acquireLogger();
    Quor::removeTarget(Quor::stdErrTarget());
    Quor::removeTarget(Quor::debuggerTarget());
    Quor::setMinimumLevel(Quor::LogLevel::Okay);
    Quor::addTarget(&target_);
  }
  ~CapturedLog() {
    Quor::removeTarget(&target_);
    Quor::releaseLogger();
  }
  CapturedLog(const CapturedLog&) = delete;
  CapturedLog& operator=(const CapturedLog&) = delete;

  std::vector<Quor::Testing::CapturedRecord> records() const { return target_.records(); }
  std::vector<std::string> messages() const {
    std::vector<std::string> messages;
    for (const Quor::Testing::CapturedRecord& record : target_.records()) messages.push_back(record.message);
    return messages;
  }

 private:
  Quor::Testing::CapturingLogTarget target_;
};

}  // namespace QcpTest
