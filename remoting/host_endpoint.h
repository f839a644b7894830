#pragma once
// The endpoint records handed to the core at registration: one packed
// 90-byte record per bound function, in a flat array that can also be walked
// as a list, and the registration answer that carries it together with the
// type and event descriptions.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "binding/host_api_description.h"
#include "binding/library_allocator.h"
#include "remoting/host_request.h"
#include "remoting/host_response.h"

namespace Quor {

struct FunctionRegistration;

// The request entry point of an endpoint.
using HostRequestHandler = std::uint32_t (*)(HostResponse* response, const HostRequest* request);

#pragma pack(push, 1)

struct HostParameterLocation {
  HostParameterLocation* next;
  std::uint32_t location;  // an ArgumentLocation code 1 to 5, else 0
};

struct HostTextList {
  HostTextList* next;
  const char* const* texts;
  std::uint32_t count;
};

struct HostEndpoint {
  // A copy of the function's description record, except two fields: next
  // points to the next HostEndpoint of the array (null in the last) and
  // context to the endpoint's context, which the core hands back with every
  // request. All zero for a function without a description.
  HostFunctionDescription description;
  HostRequestHandler handler;
  HostParameterLocation* parameterLocations;  // one entry per parameter
  const char* pathTemplate;
  std::uint32_t method;  // a RequestMethod code 1 to 8, else 0
  std::uint8_t flag;
  HostTextList* textLists;
  std::uint32_t textListCount;
  const char* customMethod;
};

struct HostRegistrationAnswer {
  HostEndpoint* endpoints;
  std::uint32_t endpointCount;
  HostTypeDescription* types;
  std::uint32_t typeCount;
  HostEventDescription* events;
  std::uint32_t eventCount;
};

#pragma pack(pop)

static_assert(sizeof(HostParameterLocation) == 8);
static_assert(offsetof(HostParameterLocation, next) == 0);
static_assert(offsetof(HostParameterLocation, location) == 4);

static_assert(sizeof(HostTextList) == 12);
static_assert(offsetof(HostTextList, next) == 0);
static_assert(offsetof(HostTextList, texts) == 4);
static_assert(offsetof(HostTextList, count) == 8);

static_assert(sizeof(HostEndpoint) == 90);
static_assert(offsetof(HostEndpoint, description) == 0);
static_assert(offsetof(HostEndpoint, description) + offsetof(HostFunctionDescription, next) == 0);
static_assert(offsetof(HostEndpoint, description) + offsetof(HostFunctionDescription, context) == 8);
static_assert(offsetof(HostEndpoint, description) + offsetof(HostFunctionDescription, name) == 12);
static_assert(offsetof(HostEndpoint, handler) == 61);
static_assert(offsetof(HostEndpoint, parameterLocations) == 65);
static_assert(offsetof(HostEndpoint, pathTemplate) == 69);
static_assert(offsetof(HostEndpoint, method) == 73);
static_assert(offsetof(HostEndpoint, flag) == 77);
static_assert(offsetof(HostEndpoint, textLists) == 78);
static_assert(offsetof(HostEndpoint, textListCount) == 82);
static_assert(offsetof(HostEndpoint, customMethod) == 86);

static_assert(sizeof(HostRegistrationAnswer) == 24);
static_assert(offsetof(HostRegistrationAnswer, endpoints) == 0);
static_assert(offsetof(HostRegistrationAnswer, endpointCount) == 4);
static_assert(offsetof(HostRegistrationAnswer, types) == 8);
static_assert(offsetof(HostRegistrationAnswer, typeCount) == 12);
static_assert(offsetof(HostRegistrationAnswer, events) == 16);
static_assert(offsetof(HostRegistrationAnswer, eventCount) == 20);

// Owns a built endpoint array and the location and text-list arrays its
// records point to. Texts point into the registrations (path templates,
// custom methods, list texts), and the description copies into the
// description's own arrays: both must outlive the table and stay unchanged.
class HostEndpointTable {
 public:
  HostEndpointTable() = default;
  HostEndpointTable(const HostEndpointTable&) = delete;
  HostEndpointTable& operator=(const HostEndpointTable&) = delete;
  HostEndpointTable(HostEndpointTable&&) = default;
  HostEndpointTable& operator=(HostEndpointTable&&) = default;

  HostEndpoint* data() { return endpoints_.empty() ? nullptr : endpoints_.data(); }
  std::uint32_t size() const { return static_cast<std::uint32_t>(endpoints_.size()); }

 private:
  template <class T>
  using Array = std::vector<T, LibraryStdAllocator<T>>;

  friend HostEndpointTable buildHostEndpoints(std::span<const FunctionRegistration* const> registrations,
                                              const HostApiDescription& descriptions);

  Array<HostEndpoint> endpoints_;
  std::vector<Array<HostParameterLocation>> locations_;
  std::vector<Array<HostTextList>> textLists_;
  std::vector<Array<const char*>> texts_;
};

// One record per registration, in order, with handleRequest as the handler
// and the description record of the function of the same name.
HostEndpointTable buildHostEndpoints(std::span<const FunctionRegistration* const> registrations,
                                     const HostApiDescription& descriptions);

}  // namespace Quor
