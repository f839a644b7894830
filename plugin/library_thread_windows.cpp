// CreateThread rather than std::thread, whose runtime wrapper would still run
// code of this library after the thread's last step gives up the module
// reference.

#include <windows.h>

#include <memory>

#include "plugin/com_initialization.h"
#include "plugin/library_thread.h"

namespace Quor {

namespace {

// An address inside this module, to take the module reference by.
const char moduleAnchor = 0;

struct ThreadStart {
  std::function<void()> work;
  HMODULE module;
};

DWORD WINAPI libraryThread(void* parameter) {
  HMODULE module = nullptr;
  {
    const std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
    module = start->module;
    const ComInitialization com;
    start->work();
  }
  // Every object of ours is gone; the module may be unmapped from here on.
  FreeLibraryAndExitThread(module, 0);
  return 0;
}

}  // namespace

bool startLibraryThread(std::function<void()> work) {
  HMODULE module = nullptr;
  // Taken here, before the thread exists, so the module cannot go between
  // the thread's start and its first instruction.
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&moduleAnchor),
                          &module)) {
    return false;
  }
  auto start = std::make_unique<ThreadStart>(ThreadStart{std::move(work), module});
  const HANDLE thread = CreateThread(nullptr, 0, &libraryThread, start.get(), 0, nullptr);
  if (thread == nullptr) {
    FreeLibrary(module);
    return false;
  }
  static_cast<void>(start.release());
  CloseHandle(thread);
  return true;
}

}  // namespace Quor
