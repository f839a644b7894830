// Loads a plugin DLL the way the core does, through the exported loader and
// the records' function pointers alone, and drives it through one lifecycle:
//
//   plugin-lifecycle unload DLL        load, start, one request, stop,
//                                      FreeLibrary, twice over; prints
//                                      "unloaded" and exits 0 when the DLL
//                                      left the process both times
//   plugin-lifecycle exit-logging DLL  load, start, then return from main
//                                      while another thread keeps sending
//                                      "/test-plugin/v1/log" requests
//   plugin-lifecycle refuse DLL        load against core 19.0.0; the loader
//                                      ends the process
//   plugin-lifecycle held-prompt DLL   load, start, start the elevation
//                                      prompt's thread with a shell call that
//                                      holds it inside the DLL, stop,
//                                      FreeLibrary: the DLL stays mapped
//                                      while the thread holds it and leaves
//                                      the process once the call is let go;
//                                      prints "prompt thread let go"
//   plugin-lifecycle exit-stop DLL HELPER
//                                      load, start, a job that yields until
//                                      stopped on a thread of the core's,
//                                      then return from main; the helper DLL
//                                      stops the plugin from its
//                                      DLL_PROCESS_DETACH, after the exit has
//                                      ended the job's thread inside the
//                                      plugin: stop must return
//
// Exit codes: 0 done, 1 a step failed (printed), 2 wrong command line.

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "host/host_records.h"
#include "remoting/host_endpoint.h"

namespace {

using namespace Quor;

std::atomic<int> gLogLines{0};

void sendRequest(HostFunctions*, HostResponse* response, const HostRequest*) {
  std::memset(static_cast<void*>(response), 0, sizeof *response);
}
void hostFunction1(HostFunctions*, std::uint32_t, std::uint32_t) {}
void publishEvent(HostFunctions*, const HostEventRecord*) {}
std::int32_t registerEventHandler(HostFunctions*, const char*, std::uint32_t, HostEventCallback, void*,
                                  std::uint32_t) {
  return 0;
}
std::int32_t unregisterEventHandler(HostFunctions*, const char*, std::uint32_t) { return 0; }
std::int32_t scheduleCallback(HostFunctions*, const char*, HostJobCallback, void*, double, std::uint32_t) {
  return 0;
}
std::atomic<int> gYields{0};
std::int32_t noArguments(HostFunctions*) { return 0; }
std::int32_t sleepingYield(HostFunctions*) {
  ++gYields;
  Sleep(5);
  return 0;
}
// Runs each job at once on a thread of its own.
std::int32_t runOnAThread(HostFunctions*, const char*, HostJobCallback callback, void* context, double,
                          std::uint32_t) {
  std::thread([callback, context] { callback(context); }).detach();
  return 0;
}
std::int32_t beginWait(HostFunctions*, const char*, std::uint32_t) { return 0; }
void log(HostFunctions*, std::uint32_t, const char*) { ++gLogLines; }

HostFunctions gFunctions{&sendRequest, &hostFunction1, &publishEvent, &registerEventHandler,
                         &unregisterEventHandler, &scheduleCallback, &noArguments, &beginWait,
                         &noArguments, &log};
HostContext gContext{&gFunctions, 5};

struct LoadedPlugin {
  HMODULE module = nullptr;
  HostHandshake handshake{};
};

bool fail(const char* what) {
  std::printf("failed: %s\n", what);
  std::fflush(stdout);
  return false;
}

bool loadPlugin(const char* path, std::uint32_t coreMajor, LoadedPlugin& plugin) {
  plugin.module = LoadLibraryA(path);
  if (plugin.module == nullptr) return fail("LoadLibraryA");
  const FARPROC entry = GetProcAddress(plugin.module, "load_qel_beta_opt_in");
  if (entry == nullptr) return fail("GetProcAddress");
  const auto loader = reinterpret_cast<PluginLoaderEntry>(reinterpret_cast<void (*)()>(entry));
  plugin.handshake.apiMajor = coreMajor;
  loader(&plugin.handshake);
  if (plugin.handshake.entryPoints == nullptr) return fail("no entry points");
  if (plugin.handshake.entryPoints->start(plugin.handshake.pluginContext, &gContext) != 1) return fail("start");
  return true;
}

// What one request carries beyond method and path.
struct RequestParts {
  const char* argumentName = nullptr;  // a named text argument
  const char* argumentText = nullptr;
  const char* jsonBody = nullptr;
  std::string* answerText = nullptr;  // receives a text answer
};

// Sends a request to the endpoint of that method whose path template is
// endpointPath; true when it was found and answered without an error text.
bool request(const LoadedPlugin& plugin, std::uint32_t method, const char* endpointPath,
             const char* path = nullptr, const RequestParts& parts = {}) {
  const auto* answer = static_cast<const HostRegistrationAnswer*>(plugin.handshake.registration);
  for (std::uint32_t i = 0; i < answer->endpointCount; ++i) {
    const HostEndpoint& endpoint = answer->endpoints[i];
    const char* pathTemplate = endpoint.pathTemplate;
    if (endpoint.method != method || std::strcmp(pathTemplate, endpointPath) != 0) continue;
    HostRequest hostRequest;
    std::memset(static_cast<void*>(&hostRequest), 0, sizeof hostRequest);
    hostRequest.method = method;
    hostRequest.path = path != nullptr ? path : endpointPath;
    hostRequest.endpointContext = endpoint.description.context;
    HostRequestArgument argument;
    std::memset(static_cast<void*>(&argument), 0, sizeof argument);
    if (parts.argumentName != nullptr) {
      argument.name = parts.argumentName;
      argument.value.type = static_cast<std::uint32_t>(HostValueKind::BorrowedString);
      argument.value.payload.buffer.data = const_cast<char*>(parts.argumentText);
      argument.value.payload.buffer.count = static_cast<std::uint32_t>(std::strlen(parts.argumentText));
      hostRequest.arguments = &argument;
      hostRequest.argumentCount = 1;
    }
    if (parts.jsonBody != nullptr) {
      hostRequest.contentType = "application/json";
      hostRequest.body = parts.jsonBody;
      hostRequest.bodyLength = static_cast<std::uint32_t>(std::strlen(parts.jsonBody));
    }
    HostResponse response;
    std::memset(static_cast<void*>(&response), 0, sizeof response);
    const HostRequestHandler handler = endpoint.handler;
    handler(&response, &hostRequest);
    const bool answered = response.errorMessage == nullptr;
    if (!answered) std::printf("error: %s\n", static_cast<const char*>(response.errorMessage));
    const HostValue body = response.body;
    if (parts.answerText != nullptr && (body.type == 5 || body.type == 6)) {
      parts.answerText->assign(static_cast<const char*>(body.payload.buffer.data), body.payload.buffer.count);
    }
    if (const HostResponseRelease release = response.release) release(&response);
    return answered;
  }
  return false;
}

int unloadTwice(const char* path) {
  for (int round = 0; round < 2; ++round) {
    LoadedPlugin plugin;
    if (!loadPlugin(path, 18, plugin)) return 1;
    std::string greeting;
    RequestParts put;
    put.argumentName = "greeting";
    put.argumentText = "hello";
    RequestParts get;
    get.answerText = &greeting;
    RequestParts item;
    item.jsonBody = "{\"name\":\"widget\",\"tags\":[\"a\",\"b\"]}";
    if (!request(plugin, 7, "/test-plugin/v1/greeting", nullptr, put) ||
        !request(plugin, 2, "/test-plugin/v1/greeting", nullptr, get) || greeting != "hello" ||
        !request(plugin, 6, "/test-plugin/v1/items/{id}?{+query}", "/test-plugin/v1/items/42?limit=10", item)) {
      return fail("requests"), 1;
    }
    MemoryStatistics statistics{};
    plugin.handshake.entryPoints->memoryStatistics(nullptr, &statistics);
    if (statistics.allocationCount == 0) return fail("no allocation counted"), 1;
    plugin.handshake.entryPoints->stop(plugin.handshake.pluginContext);
    if (!FreeLibrary(plugin.module)) return fail("FreeLibrary"), 1;
    char name[MAX_PATH];
    if (GetModuleFileNameA(plugin.module, name, sizeof name) != 0) return fail("still mapped"), 1;
  }
  std::printf("unloaded\n");
  return 0;
}

int exitWhileLogging(const char* path) {
  LoadedPlugin plugin;
  if (!loadPlugin(path, 18, plugin)) return 1;
  std::thread([plugin] {
    for (;;) request(plugin, 6, "/test-plugin/v1/log");
  }).detach();
  while (gLogLines.load() < 200) Sleep(1);
  std::printf("exiting while logging\n");
  std::fflush(stdout);
  return 0;
}

bool mapped(HMODULE module) {
  char name[MAX_PATH];
  return GetModuleFileNameA(module, name, sizeof name) != 0;
}

int unloadWithThePromptHeld(const char* path) {
  const HANDLE entered = CreateEventA(nullptr, TRUE, FALSE, "qcp-test-plugin-prompt-entered");
  const HANDLE release = CreateEventA(nullptr, TRUE, FALSE, "qcp-test-plugin-prompt-release");
  if (entered == nullptr || release == nullptr) return fail("CreateEventA"), 1;
  LoadedPlugin plugin;
  if (!loadPlugin(path, 18, plugin)) return 1;
  if (!request(plugin, 6, "/test-plugin/v1/held-prompt")) return fail("held-prompt request"), 1;
  if (WaitForSingleObject(entered, 10'000) != WAIT_OBJECT_0) return fail("the prompt's thread never made its call"), 1;
  plugin.handshake.entryPoints->stop(plugin.handshake.pluginContext);
  if (!FreeLibrary(plugin.module)) return fail("FreeLibrary"), 1;
  // The thread is inside the DLL's code: its module reference keeps it.
  if (!mapped(plugin.module)) return fail("unmapped while the prompt's thread was inside it"), 1;
  SetEvent(release);
  // Its last step gives the reference up.
  for (int wait = 0; wait < 1000 && mapped(plugin.module); ++wait) Sleep(10);
  if (mapped(plugin.module)) return fail("the prompt's thread never gave its module reference up"), 1;
  std::printf("prompt thread let go\n");
  return 0;
}

int exitWithAJobInside(const char* path, const char* helperPath) {
  gFunctions.scheduleCallback = &runOnAThread;
  gFunctions.yield = &sleepingYield;
  LoadedPlugin plugin;
  if (!loadPlugin(path, 18, plugin)) return 1;
  // Loaded after the plugin, so detached (at exit) before it.
  const HMODULE helper = LoadLibraryA(helperPath);
  if (helper == nullptr) return fail("LoadLibraryA of the helper"), 1;
  using StopAtExit = void (*)(void (*)(void*), void*);
  const auto stopAtExit = reinterpret_cast<StopAtExit>(reinterpret_cast<void (*)()>(GetProcAddress(helper, "stopAtExit")));
  if (stopAtExit == nullptr) return fail("GetProcAddress stopAtExit"), 1;
  if (!request(plugin, 6, "/test-plugin/v1/waiting-job")) return fail("waiting-job request"), 1;
  for (int wait = 0; wait < 1000 && gYields < 3; ++wait) Sleep(10);
  if (gYields < 3) return fail("the job never yielded"), 1;
  stopAtExit(plugin.handshake.entryPoints->stop, plugin.handshake.pluginContext);
  std::printf("exiting with the job inside\n");
  std::fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (argc != (mode == "exit-stop" ? 4 : 3)) {
    std::fprintf(stderr, "usage: plugin-lifecycle unload|exit-logging|refuse|held-prompt DLL\n"
                         "       plugin-lifecycle exit-stop DLL HELPER_DLL\n");
    return 2;
  }
  if (mode == "unload") return unloadTwice(argv[2]);
  if (mode == "exit-logging") return exitWhileLogging(argv[2]);
  if (mode == "held-prompt") return unloadWithThePromptHeld(argv[2]);
  if (mode == "exit-stop") return exitWithAJobInside(argv[2], argv[3]);
  if (mode == "refuse") {
    LoadedPlugin plugin;
    loadPlugin(argv[2], 19, plugin);
    std::printf("the loader returned\n");
    return 1;
  }
  return 2;
}
