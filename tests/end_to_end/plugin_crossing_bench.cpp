// plugin-crossing-bench.exe: what crossing the plugin ABI costs. The same
// request (POST /test-plugin/v1/items/42?limit=7 with a path parameter, a
// query argument and a JSON body) goes
//   through the ABI  to the test plugin DLL loaded by the host simulator's
//                    machinery (loader entry, start with the simulated core,
//                    the endpoint found in the registration answer): the
//                    endpoint's handler, then the response's release;
//   in process       to the same route on a Transport linked into this
//                    program: handleRequest, then the response's release.
// Both sides are built by the same compiler on the same C runtime heap, and
// both count every allocation (operator new included) with the library's
// counting functions: the DLL's counters are read through memoryStatistics,
// this program's directly. Prints nanoseconds and allocations per request,
// the ratio of the times, and the live bytes before and after each run.
// Run it through scripts/bench-crossing.sh.
//
//   plugin-crossing-bench TEST_PLUGIN_DLL [--requests=N] [--repetitions=N]

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "binding/library_allocator.h"
#include "binding/value.h"
#include "plugin_request.h"
#include "plugin_session.h"
#include "registration_answer.h"
#include "remoting/dispatcher.h"
#include "remoting/transport.h"
#include "tests/support/test_items_route.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr char itemsPath[] = "/test-plugin/v1/items/42?limit=7";
constexpr char itemBody[] = "{\"name\":\"widget\",\"tags\":[\"a\",\"b\",\"c\"],\"price\":12.5,\"stock\":{\"eu\":3}}";

struct Run {
  double nanosecondsPerRequest = 0;
  double allocationsPerRequest = 0;
  std::uint64_t liveBefore = 0;
  std::uint64_t liveAfter = 0;
};

std::uint64_t liveBytes(const Quor::MemoryStatistics& statistics) {
  return statistics.bytesAllocated - statistics.bytesFreed;
}

// One request through a handler and the response's release; false when the
// answer is not the expected item.
using Handler = std::function<std::uint32_t(Quor::HostResponse*, const Quor::HostRequest*)>;

bool answered(const Quor::HostResponse& response) {
  return response.errorMessage == nullptr && response.body.type == 10 && response.body.payload.buffer.count == 4;
}

Run measure(const Handler& handler, const Quor::HostRequest& request,
            const std::function<Quor::MemoryStatistics()>& statistics, int count) {
  Run run;
  const Quor::MemoryStatistics before = statistics();
  const Clock::time_point start = Clock::now();
  for (int index = 0; index < count; ++index) {
    Quor::HostResponse response{};
    handler(&response, &request);
    if (!answered(response)) {
      std::fprintf(stderr, "request %d failed: %s\n", index,
                   response.errorMessage != nullptr ? response.errorMessage : "unexpected body");
      std::exit(1);
    }
    response.release(&response);
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const Quor::MemoryStatistics after = statistics();
  run.nanosecondsPerRequest = seconds * 1e9 / count;
  run.allocationsPerRequest = static_cast<double>(after.allocationCount - before.allocationCount) / count;
  run.liveBefore = liveBytes(before);
  run.liveAfter = liveBytes(after);
  return run;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The test plugin's items route, on a Transport of this program.
const Quor::FunctionRegistration* addItemsRoute(Quor::Transport& transport) {
  return Quor::addTestItemsRoute(transport).registration();
}

int optionValue(const char* argument, const char* name, int fallback) {
  const std::size_t length = std::strlen(name);
  if (std::strncmp(argument, name, length) != 0) return fallback;
  const int value = std::atoi(argument + length);
  return value > 0 ? value : fallback;
}

void print(const char* name, const Run& run) {
  std::printf("%-28s %10.0f %12.2f %14llu %14llu\n", name, run.nanosecondsPerRequest, run.allocationsPerRequest,
              static_cast<unsigned long long>(run.liveBefore), static_cast<unsigned long long>(run.liveAfter));
}

}  // namespace

int main(int argc, char** argv) {
  using namespace PluginHost;
  if (argc < 2) {
    std::fprintf(stderr, "usage: plugin-crossing-bench TEST_PLUGIN_DLL [--requests=N] [--repetitions=N]\n");
    return 2;
  }
  int requests = 100'000;
  int repetitions = 3;
  for (int index = 2; index < argc; ++index) {
    requests = optionValue(argv[index], "--requests=", requests);
    repetitions = optionValue(argv[index], "--repetitions=", repetitions);
  }

  // The simulator's side: its lines (there are none for these requests
  // beyond load and start) go nowhere.
  std::FILE* discard = std::fopen("NUL", "w");
  Output output(false, discard != nullptr ? discard : stderr);
  SessionOptions options;
  options.pluginPath = argv[1];
  Outcome<std::unique_ptr<InstallSettingsStore>> settings = InstallSettingsStore::open("");
  PluginSession session(output, std::move(settings.value()), options);
  if (!session.open(options)) return 1;

  Step step;
  step.kind = Step::Kind::Request;
  step.method = 6;
  step.path = itemsPath;
  step.body = itemBody;
  Outcome<PreparedRequest> prepared = PreparedRequest::prepare(step);
  const Quor::HostEndpoint* endpoint = findEndpoint(session.registration(), step.method, step.path);
  if (!prepared || endpoint == nullptr) {
    std::fprintf(stderr, "the test plugin has no endpoint for POST %s\n", itemsPath);
    return 1;
  }
  const Quor::HostRequest crossing = prepared->request(endpoint->description.context, 1);
  const Handler throughAbi = [handler = endpoint->handler](Quor::HostResponse* response,
                                                           const Quor::HostRequest* request) {
    return handler(response, request);
  };
  const auto pluginStatistics = [&session] { return session.memoryStatistics(); };

  Quor::Transport transport;
  transport.setEndpointTags({"Plugins", "Plugin bench"});
  const Quor::FunctionRegistration* items = addItemsRoute(transport);
  transport.answerRegistration();
  Quor::HostRequest local = crossing;
  local.endpointContext = const_cast<Quor::EndpointContext*>(&items->context);
  const Handler inProcess = [](Quor::HostResponse* response, const Quor::HostRequest* request) {
    return Quor::handleRequest(response, request);
  };
  const auto programStatistics = [] {
    Quor::MemoryStatistics statistics{};
    Quor::readMemoryStatistics(statistics);
    return statistics;
  };

  // Warm-up: process-wide state (value-store pages, locale data) is set up
  // by the first requests on each side.
  measure(throughAbi, crossing, pluginStatistics, 1000);
  measure(inProcess, local, programStatistics, 1000);

  std::vector<double> abiTimes;
  std::vector<double> localTimes;
  Run abi;
  Run inside;
  for (int repetition = 0; repetition < repetitions; ++repetition) {
    abi = measure(throughAbi, crossing, pluginStatistics, requests);
    inside = measure(inProcess, local, programStatistics, requests);
    abiTimes.push_back(abi.nanosecondsPerRequest);
    localTimes.push_back(inside.nanosecondsPerRequest);
  }
  abi.nanosecondsPerRequest = median(abiTimes);
  inside.nanosecondsPerRequest = median(localTimes);

  std::printf("POST %s with a JSON body: %d requests per run, median of %d runs\n", itemsPath, requests,
              repetitions);
  std::printf("%-28s %10s %12s %14s %14s\n", "", "ns/request", "allocations", "live before", "live after");
  print("through the ABI (DLL)", abi);
  print("in process", inside);
  std::printf("%-28s %10.2f\n", "ratio ABI / in process", abi.nanosecondsPerRequest / inside.nanosecondsPerRequest);
  session.close();
  if (discard != nullptr) std::fclose(discard);
  return 0;
}
