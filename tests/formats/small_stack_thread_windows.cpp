#include "small_stack_thread.h"

#include <windows.h>

namespace Quor::Testing {

namespace {

DWORD WINAPI runBody(void* body) {
  (*static_cast<const std::function<void()>*>(body))();
  return 0;
}

}  // namespace

bool runOnSmallStack(std::size_t stackBytes, const std::function<void()>& body) {
  HANDLE thread = CreateThread(nullptr, stackBytes, &runBody, const_cast<std::function<void()>*>(&body),
                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (thread == nullptr) return false;
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  return true;
}

}  // namespace Quor::Testing
