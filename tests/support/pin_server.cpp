// qcp-test-pin-server.dll: a test in-process COM server for the Start-menu pin
// class CLSID_StartMenuPin {A2A9545D-A0C2-42B4-9708-A0B2BADD77C8}, which Wine
// does not have. It lets the tests of unpinShortcut and the
// end-to-end migration tests see what was unpinned and make chosen unpins fail.
//
// The object implements IStartMenuPinnedList {4CD19ADA-25A5-4A32-B3B7-347BEE5BE36B}
// (declarations from MinGW-w64's shobjidl.h and uuid library, independent of
// the plugin's own). RemoveFromList(item):
//   1. takes the item's file-system path (IShellItem::GetDisplayName with
//      SIGDN_FILESYSPATH);
//   2. appends it as one line (UTF-8, "\n" at its end) to the log file;
//   3. while the block file exists, waits (up to five minutes), so that a test
//      can hold the process that unpins inside its run;
//   4. answers E_FAIL when the path's file name is one of the fail names
//      (compared case-insensitively, or any file for the name "*"), else S_OK.
//   An item without a file-system path is logged as "<no file-system path>"
//   and answered with that error; a null item with E_POINTER, unlogged.
//
// Configuration, read at every call (so a test may change it between calls):
//   QCP_PIN_SERVER_LOG   the log file's path (Windows form, e.g. Z:\tmp\pins.log);
//   QCP_PIN_SERVER_FAIL  fail names separated by ";" ("Bad.lnk;Other.lnk");
//   QCP_PIN_SERVER_BLOCK the block file's path (Windows form); environment only.
// An environment variable that is set (even to the empty text) wins;
// otherwise the REG_SZ values "Log" and "Fail" of the key
// HKCU\Software\QcpTest\PinServer are used (for a process that does not
// inherit the test's environment); with neither, nothing is logged and nothing
// fails.
//
// Registration: tests/support/register_pin_server.sh (shell) or
// tests/support/pin_server_registration.h (C++), or `regsvr32` on the DLL
// (DllRegisterServer writes the same keys).

#include <windows.h>
#include <objbase.h>
#include <olectl.h>
#include <shobjidl.h>

#include <atomic>
#include <new>
#include <string>
#include <vector>

namespace {

HMODULE thisModule = nullptr;
std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};

constexpr wchar_t logVariable[] = L"QCP_PIN_SERVER_LOG";
constexpr wchar_t failVariable[] = L"QCP_PIN_SERVER_FAIL";
constexpr wchar_t blockVariable[] = L"QCP_PIN_SERVER_BLOCK";
constexpr wchar_t configKey[] = L"Software\\QcpTest\\PinServer";
constexpr wchar_t classKey[] = L"Software\\Classes\\CLSID\\{A2A9545D-A0C2-42B4-9708-A0B2BADD77C8}";

// The setting from the environment when the variable is set, else from the
// registry value, else the empty text.
std::wstring setting(const wchar_t* variable, const wchar_t* registryValue) {
  std::vector<wchar_t> buffer(32768);
  SetLastError(ERROR_SUCCESS);
  const DWORD length = GetEnvironmentVariableW(variable, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length > 0 && length < buffer.size()) return std::wstring(buffer.data(), length);
  if (length == 0 && GetLastError() != ERROR_ENVVAR_NOT_FOUND) return std::wstring();  // set, empty

  DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  DWORD type = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, configKey, registryValue, RRF_RT_REG_SZ, &type, buffer.data(), &bytes) ==
      ERROR_SUCCESS) {
    return std::wstring(buffer.data());
  }
  return std::wstring();
}

std::wstring fileNameOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/:");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool isFailName(const std::wstring& path) {
  const std::wstring names = setting(failVariable, L"Fail");
  const std::wstring name = fileNameOf(path);
  std::size_t start = 0;
  while (start <= names.size()) {
    std::size_t end = names.find(L';', start);
    if (end == std::wstring::npos) end = names.size();
    const std::wstring entry = names.substr(start, end - start);
    if (entry == L"*") return true;
    if (!entry.empty() && CompareStringOrdinal(entry.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL) return true;
    start = end + 1;
  }
  return false;
}

void appendLine(const std::wstring& text) {
  const std::wstring logPath = setting(logVariable, L"Log");
  if (logPath.empty()) return;
  std::string line;
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                       nullptr, nullptr);
  if (size > 0) {
    line.resize(static_cast<std::size_t>(size));
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), line.data(), size, nullptr,
                        nullptr);
  }
  line += '\n';
  const HANDLE file = CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
}

void waitWhileBlocked() {
  std::vector<wchar_t> path(32768);
  const DWORD length = GetEnvironmentVariableW(blockVariable, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return;
  for (int slice = 0; slice < 6000 && GetFileAttributesW(path.data()) != INVALID_FILE_ATTRIBUTES; ++slice) Sleep(50);
}

class PinnedList final : public IStartMenuPinnedList {
 public:
  PinnedList() { ++liveObjects; }
  ~PinnedList() { --liveObjects; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IStartMenuPinnedList)) {
      *out = static_cast<IStartMenuPinnedList*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const long left = --references_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  HRESULT STDMETHODCALLTYPE RemoveFromList(IShellItem* item) override {
    if (item == nullptr) return E_POINTER;
    wchar_t* path = nullptr;
    const HRESULT named = item->GetDisplayName(SIGDN_FILESYSPATH, &path);
    if (FAILED(named) || path == nullptr) {
      appendLine(L"<no file-system path>");
      return FAILED(named) ? named : E_FAIL;
    }
    const std::wstring text(path);
    CoTaskMemFree(path);
    appendLine(text);
    waitWhileBlocked();
    return isFailName(text) ? E_FAIL : S_OK;
  }

 private:
  std::atomic<long> references_{1};
};

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // The factory is a static object: its life is the module's.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    PinnedList* object = new (std::nothrow) PinnedList();
    if (object == nullptr) return E_OUTOFMEMORY;
    const HRESULT result = object->QueryInterface(iid, out);
    object->Release();
    return result;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ++serverLocks;
    } else {
      --serverLocks;
    }
    return S_OK;
  }
};

Factory factory;

LSTATUS setString(HKEY key, const wchar_t* name, const std::wstring& value) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    thisModule = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualCLSID(clsid, CLSID_StartMenuPin)) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return liveObjects.load() == 0 && serverLocks.load() == 0 ? S_OK : S_FALSE;
}

// Writes InprocServer32 = this DLL's path, ThreadingModel = Apartment under
// HKCU\Software\Classes\CLSID\{A2A9545D-...} (where Windows looks) and under
// HKLM\Software\Classes\CLSID\{A2A9545D-...} (where Wine 8 looks; best effort,
// since it needs administrator rights on Windows). The same as
// register_pin_server.sh and pin_server_registration.h.
extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  wchar_t modulePath[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(thisModule, modulePath, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return SELFREG_E_CLASS;
  const std::wstring inproc = std::wstring(classKey) + L"\\InprocServer32";
  bool userWritten = false;
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, inproc.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
      continue;
    }
    const bool written = setString(key, nullptr, modulePath) == ERROR_SUCCESS &&
                         setString(key, L"ThreadingModel", L"Apartment") == ERROR_SUCCESS;
    RegCloseKey(key);
    if (root == HKEY_CURRENT_USER) userWritten = written;
  }
  return userWritten ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  bool removed = true;
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    const LSTATUS status = RegDeleteTreeW(root, classKey);
    if (status == ERROR_SUCCESS) {
      RegDeleteKeyW(root, classKey);
    } else if (status != ERROR_FILE_NOT_FOUND && root == HKEY_CURRENT_USER) {
      removed = false;
    }
  }
  return removed ? S_OK : SELFREG_E_CLASS;
}
