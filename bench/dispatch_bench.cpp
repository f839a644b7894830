// One million requests through the endpoint handler, as the core sends them:
// POST /bench/items/{id}?{+query} with a path parameter, a query argument and
// a JSON body, bound to a native function, the answer written into the
// response record and released through it. Prints nanoseconds per request,
// the library allocator's allocations per request (the memory handed to the
// core), all heap allocations per request, and the library's live bytes
// before and after the run, which must be equal.
//
// The value trees of a request take their pages from the process-wide page
// cache, which keeps a few empty 64 KiB chunks for reuse. The last line
// repeats the POST while one long-lived tree keeps a chunk in use, which
// should cost the same.

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "bench/bench_support.h"
#include "binding/library_allocator.h"
#include "binding/memory_statistics.h"
#include "remoting/dispatcher.h"
#include "remoting/transport.h"

// Every allocation through operator new is counted too, so the figures show
// what a request costs beyond the records handed to the core.
namespace {
std::atomic<std::uint64_t> heapAllocations{0};
}  // namespace

void* operator new(std::size_t size) {
  heapAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace {

constexpr int requestCount = 1'000'000;

struct Run {
  double nanosecondsPerRequest;
  double libraryAllocationsPerRequest;
  double heapAllocationsPerRequest;
  std::uint64_t liveBefore;
  std::uint64_t liveAfter;
  std::int64_t checksum;
};

Run measure(const Quor::HostRequest& request, int count) {
  Quor::MemoryStatistics before{};
  Quor::MemoryStatistics after{};
  Run run{};
  run.liveBefore = Quor::libraryLiveBytes();
  Quor::readMemoryStatistics(before);
  const std::uint64_t heapBefore = heapAllocations.load();
  const double start = bench::nowSeconds();
  for (int index = 0; index < count; ++index) {
    Quor::HostResponse response;
    Quor::handleRequest(&response, &request);
    if (response.errorMessage != nullptr) {
      std::fprintf(stderr, "request failed: %s\n", response.errorMessage);
      std::exit(1);
    }
    run.checksum += response.body.payload.signedValue;
    response.release(&response);
  }
  const double seconds = bench::nowSeconds() - start;
  const std::uint64_t heapAfter = heapAllocations.load();
  Quor::readMemoryStatistics(after);
  run.liveAfter = Quor::libraryLiveBytes();
  run.nanosecondsPerRequest = seconds * 1e9 / count;
  run.libraryAllocationsPerRequest = static_cast<double>(after.allocationCount - before.allocationCount) / count;
  run.heapAllocationsPerRequest = static_cast<double>(heapAfter - heapBefore) / count;
  return run;
}

void print(const char* name, const Run& run) {
  std::printf("%-34s %9.0f ns  %6.2f  %6.2f  %10llu  %10llu%s\n", name, run.nanosecondsPerRequest,
              run.libraryAllocationsPerRequest, run.heapAllocationsPerRequest,
              static_cast<unsigned long long>(run.liveBefore), static_cast<unsigned long long>(run.liveAfter),
              run.liveBefore == run.liveAfter ? "" : "  LIVE BYTES CHANGED");
}

Quor::HostRequest requestFor(const Quor::FunctionRegistration* registration, Quor::RequestMethod method,
                             const char* path) {
  Quor::HostRequest request;
  std::memset(static_cast<void*>(&request), 0, sizeof request);
  request.method = static_cast<std::uint32_t>(method);
  request.path = path;
  request.endpointContext = const_cast<Quor::EndpointContext*>(&registration->context);
  return request;
}

}  // namespace

int main() {
  using namespace Quor;
  Transport transport;
  transport.setEndpointTags({"Plugins", "Plugin bench"});
  const FunctionRegistration* items =
      transport
          .addRoute(RequestMethod::Post, "/bench/items/{id}?{+query}",
                    [](std::int32_t id, const std::string& query, std::int32_t limit, const Value& body) {
                      return static_cast<std::int64_t>(id) + limit + static_cast<std::int64_t>(query.size()) +
                             static_cast<std::int64_t>(body.member("tags").size());
                    })
          .parameter(0, "id")
          .parameter(1, "query")
          .parameter(2, "limit")
          .parameter(3, "body")
          .location(0, ArgumentLocation::Path)
          .location(1, ArgumentLocation::Path)
          .location(2, ArgumentLocation::Query)
          .location(3, ArgumentLocation::Body)
          .registration();
  const FunctionRegistration* literal =
      transport.addRoute(RequestMethod::Get, "/bench/ping", [] { return std::int64_t{1}; }).registration();
  transport.answerRegistration();

  static const char body[] = "{\"name\":\"widget\",\"tags\":[\"a\",\"b\",\"c\"],\"price\":12.5,\"stock\":{\"eu\":3}}";
  HostRequest post = requestFor(items, RequestMethod::Post, "/bench/items/42?limit=10");
  const HostHeader headers[] = {{"Content-Type", "application/json"}, {"X-Client", "bench"}};
  post.headers = headers;
  post.headerCount = 2;
  post.contentType = "application/json";
  post.body = body;
  post.bodyLength = static_cast<std::uint32_t>(sizeof body - 1);
  const HostRequest ping = requestFor(literal, RequestMethod::Get, "/bench/ping");

  // Warm up: the first requests set up process-wide state (value-store pages,
  // the logger, locale data).
  measure(post, 1000);
  measure(ping, 1000);

  std::printf("%d requests each; allocations per request: library allocator, all operator new\n", requestCount);
  std::printf("%-34s %12s  %6s  %6s  %10s  %10s\n", "request", "time", "lib", "heap", "live before",
              "live after");
  const Run posted = measure(post, requestCount);
  print("POST path + query + JSON body", posted);
  const Run pinged = measure(ping, requestCount);
  print("GET literal, no arguments", pinged);
  // Enough members to outgrow the store's inline areas and hold pool pages.
  Value keeper;
  for (int index = 0; index < 200; ++index) keeper.writeMember("kept" + std::to_string(index)).setSigned(index);
  const Run kept = measure(post, requestCount);
  print("POST, page chunk kept in use", kept);
  std::printf("Target: POST at most 5,000 ns and 10 operator new per request.\n");
  if (posted.checksum != std::int64_t{requestCount} * (42 + 10 + 8 + 3) || pinged.checksum != requestCount) {
    std::fprintf(stderr, "unexpected results\n");
    return 1;
  }
  return posted.liveBefore == posted.liveAfter && pinged.liveBefore == pinged.liveAfter &&
                 kept.liveBefore == kept.liveAfter
             ? 0
             : 1;
}
