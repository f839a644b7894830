#include <windows.h>

// The library's global objects are built by the C++ runtime before this runs;
// nothing else has to happen on attach or detach.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
  return TRUE;
}
