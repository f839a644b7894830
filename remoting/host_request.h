#pragma once
// The request record the core hands to an endpoint (and the plugin hands to
// the core when it calls one of the core's endpoints). Read-only for the
// receiver.

#include <cstddef>
#include <cstdint>

#include "binding/host_value.h"

namespace Quor {

// A typed argument: its name (null for a positional argument) and value.
struct HostRequestArgument {
  const char* name;
  HostValue value;
};

struct HostHeader {
  const char* name;
  const char* value;
};

struct HostRequest {
  std::uint32_t method;  // a RequestMethod code; outside 1 to 8 reads as none
  const char* path;      // may carry a query after the first "?"
  const HostRequestArgument* arguments;
  std::uint32_t argumentCount;
  void* endpointContext;  // the context stored in the endpoint's registration
  const HostHeader* headers;
  std::uint32_t headerCount;
  const char* contentType;  // readable whenever body is not null
  const void* body;         // null for no body
  std::uint32_t bodyLength;
  std::uint32_t requestId;
  const char* customMethod;  // the method text when method is Custom; may be null
};

static_assert(sizeof(HostRequestArgument) == 16);
static_assert(offsetof(HostRequestArgument, name) == 0);
static_assert(offsetof(HostRequestArgument, value) == 4);

static_assert(sizeof(HostHeader) == 8);
static_assert(offsetof(HostHeader, name) == 0);
static_assert(offsetof(HostHeader, value) == 4);

static_assert(sizeof(HostRequest) == 48);
static_assert(offsetof(HostRequest, method) == 0);
static_assert(offsetof(HostRequest, path) == 4);
static_assert(offsetof(HostRequest, arguments) == 8);
static_assert(offsetof(HostRequest, argumentCount) == 12);
static_assert(offsetof(HostRequest, endpointContext) == 16);
static_assert(offsetof(HostRequest, headers) == 20);
static_assert(offsetof(HostRequest, headerCount) == 24);
static_assert(offsetof(HostRequest, contentType) == 28);
static_assert(offsetof(HostRequest, body) == 32);
static_assert(offsetof(HostRequest, bodyLength) == 36);
static_assert(offsetof(HostRequest, requestId) == 40);
static_assert(offsetof(HostRequest, customMethod) == 44);

}  // namespace Quor
