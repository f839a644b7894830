// Ends the process while a thread of the probe DLL is stopped inside a log
// call; the exit code tells the test that the exit finished.
#include <windows.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    return 2;
  }
  HMODULE probe = LoadLibraryA(argv[1]);
  auto block = probe != nullptr ? reinterpret_cast<void (*)()>(GetProcAddress(probe, "blockThreadInsideLog")) : nullptr;
  if (block == nullptr) {
    return 3;
  }
  block();
  ExitProcess(17);
}
