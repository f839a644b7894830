// qcp-exit-stop-helper.dll: plays a core whose own shutdown code stops the
// plugin while the process exits (the core's static destructors in a DLL).
// plugin-lifecycle hands it the plugin's stop and context; at
// DLL_PROCESS_DETACH of the process's exit, when the system has already
// ended every other thread, it calls stop and writes "stop returned at exit"
// to standard output.

#include <windows.h>

namespace {

void (*gStop)(void*) = nullptr;
void* gContext = nullptr;

void writeLine(const char* text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, lstrlenA(text), &written, nullptr);
}

}  // namespace

extern "C" __declspec(dllexport) void stopAtExit(void (*stop)(void*), void* context) {
  gStop = stop;
  gContext = context;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  // reserved is not null when the process is exiting.
  if (reason == DLL_PROCESS_DETACH && reserved != nullptr && gStop != nullptr) {
    gStop(gContext);
    writeLine("stop returned at exit\n");
  }
  return TRUE;
}
