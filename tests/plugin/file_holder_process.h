#pragma once
// Runs tests/support's file-holder.exe (QCP_FILE_HOLDER): files held open by
// another process, with a chosen share mode, for as long as the object lives.
//
//   QcpTest::FileHolderProcess holder("rw", {path});   // no delete sharing
//   ASSERT_TRUE(holder.holding());

#include <windows.h>

#include <string>
#include <vector>

#include "shell_test_support.h"

namespace QcpTest {

class FileHolderProcess {
 public:
  enum class Mapping { None, Mapped };

  // `share` as file-holder's --share ("r", "rw", "rwd", "none"); Mapped also
  // maps the files into memory (--map).
  FileHolderProcess(const std::string& share, const std::vector<std::string>& files, Mapping mapping = Mapping::None) {
    if (!signals_.created()) return;
    ready_ = signals_.file("ready");
    release_ = signals_.file("release");
    std::string commandLine = quoted(QCP_FILE_HOLDER) + " --share=" + share +
                              (mapping == Mapping::Mapped ? " --map " : " ") + quoted("--ready=" + ready_) + " " +
                              quoted("--release=" + release_);
    for (const std::string& file : files) commandLine += " " + quoted(file);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process_)) {
      process_ = {};
      return;
    }
    // Ready, or gone because it could not open a file.
    const ULONGLONG deadline = GetTickCount64() + 30000;
    while (!fileExists(ready_) && GetTickCount64() < deadline) {
      if (WaitForSingleObject(process_.hProcess, 20) == WAIT_OBJECT_0) break;
    }
    holding_ = fileExists(ready_);
  }

  ~FileHolderProcess() { release(); }
  FileHolderProcess(const FileHolderProcess&) = delete;
  FileHolderProcess& operator=(const FileHolderProcess&) = delete;

  bool holding() const { return holding_; }

  // Lets the files go and waits for the process to end.
  void release() {
    if (process_.hProcess == nullptr) return;
    writeFile(release_, "");
    WaitForSingleObject(process_.hProcess, 30000);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
    process_ = {};
    holding_ = false;
  }

 private:
  static std::string quoted(const std::string& text) { return "\"" + text + "\""; }

  ScratchFolder signals_;
  std::string ready_;
  std::string release_;
  PROCESS_INFORMATION process_ = {};
  bool holding_ = false;
};

}  // namespace QcpTest
