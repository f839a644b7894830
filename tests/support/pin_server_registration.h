#pragma once
// Registers the test Start-menu pin server (qcp-test-pin-server.dll, see
// pin_server.cpp) for CLSID_StartMenuPin in the registry of the Wine prefix
// the calling test runs in, and configures it. The shell counterpart is
// register_pin_server.sh.
//
// The class goes into two places, with InprocServer32 = the DLL and
// ThreadingModel = Apartment:
//   HKCU\Software\Classes\CLSID\{A2A9545D-A0C2-42B4-9708-A0B2BADD77C8}
//     where Windows finds a user's classes;
//   HKLM\Software\Classes\CLSID\{A2A9545D-A0C2-42B4-9708-A0B2BADD77C8}
//     (HKEY_CLASSES_ROOT), the only place Wine 8's COM looks: it does not
//     merge HKCU\Software\Classes into HKEY_CLASSES_ROOT.
// COM reads the registry at every CoCreateInstance, so registering and
// unregistering take effect at once, in this process and in others.
//
// The registration is shared by every process of the prefix: a CTest test
// that registers or unregisters takes the RESOURCE_LOCK named by
// QCP_PIN_SERVER_LOCK (tests/support/CMakeLists.txt).
//
//   QcpTest::PinServerRegistration registration(QCP_PIN_SERVER_DLL);
//   ASSERT_TRUE(registration.ok());
//   QcpTest::setPinServerLog("Z:\\tmp\\pins.log");   // this process only
//   QcpTest::setPinServerFailNames("Bad.lnk;Other.lnk");

#include <windows.h>

#include <string>

namespace QcpTest {

inline constexpr char pinServerClassKey[] = "Software\\Classes\\CLSID\\{A2A9545D-A0C2-42B4-9708-A0B2BADD77C8}";
inline constexpr char pinServerInprocKey[] =
    "Software\\Classes\\CLSID\\{A2A9545D-A0C2-42B4-9708-A0B2BADD77C8}\\InprocServer32";
// The server's registry configuration (values "Log" and "Fail"), used when
// the environment variables are not set.
inline constexpr char pinServerConfigKey[] = "Software\\QcpTest\\PinServer";

namespace detail {

inline bool setStringValue(HKEY root, const char* keyPath, const char* name, const std::string& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(root, keyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const bool written = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                      static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
  RegCloseKey(key);
  return written;
}

inline bool deleteTree(HKEY root, const char* keyPath) {
  const LSTATUS status = RegDeleteTreeA(root, keyPath);
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return false;
  // RegDeleteTree empties the key; the key itself goes with RegDeleteKey.
  const LSTATUS removed = RegDeleteKeyA(root, keyPath);
  return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
}

}  // namespace detail

// Registers the DLL at `dllPath` (a Windows path) in both places.
inline bool registerPinServer(const std::string& dllPath) {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    if (!detail::setStringValue(root, pinServerInprocKey, nullptr, dllPath) ||
        !detail::setStringValue(root, pinServerInprocKey, "ThreadingModel", "Apartment")) {
      return false;
    }
  }
  return true;
}

// Removes the class from both places (success when it was not there).
inline bool unregisterPinServer() {
  const bool user = detail::deleteTree(HKEY_CURRENT_USER, pinServerClassKey);
  const bool machine = detail::deleteTree(HKEY_LOCAL_MACHINE, pinServerClassKey);
  return user && machine;
}

// The server's log file for this process and the processes it starts
// (environment variable QCP_PIN_SERVER_LOG); the empty text logs nothing.
inline void setPinServerLog(const std::string& windowsPath) {
  SetEnvironmentVariableA("QCP_PIN_SERVER_LOG", windowsPath.c_str());
}

// The file names whose RemoveFromList fails, separated by ";" ("*" for all),
// for this process and the processes it starts (QCP_PIN_SERVER_FAIL).
inline void setPinServerFailNames(const std::string& names) {
  SetEnvironmentVariableA("QCP_PIN_SERVER_FAIL", names.c_str());
}

// The same settings in the registry, for processes that do not inherit the
// environment; the environment variables win when set.
inline bool setPinServerRegistryConfig(const std::string& logPath, const std::string& failNames) {
  return detail::setStringValue(HKEY_CURRENT_USER, pinServerConfigKey, "Log", logPath) &&
         detail::setStringValue(HKEY_CURRENT_USER, pinServerConfigKey, "Fail", failNames);
}

inline bool clearPinServerRegistryConfig() { return detail::deleteTree(HKEY_CURRENT_USER, pinServerConfigKey); }

// Registers on construction, unregisters on destruction.
class PinServerRegistration {
 public:
  explicit PinServerRegistration(const std::string& dllPath) : ok_(registerPinServer(dllPath)) {}
  ~PinServerRegistration() { unregisterPinServer(); }
  PinServerRegistration(const PinServerRegistration&) = delete;
  PinServerRegistration& operator=(const PinServerRegistration&) = delete;

  bool ok() const { return ok_; }

 private:
  bool ok_;
};

}  // namespace QcpTest
