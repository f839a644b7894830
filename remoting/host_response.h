#pragma once
// The response record the core allocates and the plugin fills; the core
// releases it once through the release function stored in it.
//
// Everything the plugin places in the record comes from the library's
// allocation functions (binding/library_allocator.h), so releaseHostResponse
// can free it. The stream, when there is one, is the core's to release
// through streamRelease.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/host_value.h"
#include "remoting/host_request.h"

namespace Quor {

class TypeRegistry;
struct RemotingResponse;
struct HostResponse;

using HostStreamRead = std::uint32_t (*)(void* stream, void* buffer, std::uint32_t* size, std::uint8_t* more);
using HostStreamRelease = void (*)(void* stream);
using HostResponseRelease = void (*)(HostResponse* response);

#pragma pack(push, 1)

struct HostResponse {
  HostValue body;  // the result value
  char* errorMessage;
  std::uint8_t errorMessageOwned;  // 1 when the plugin allocated errorMessage
  std::uint8_t transferFlag;
  std::uint32_t transferMode;  // 1, 2 or 3; anything else is written as 0
  std::int32_t status;
  const char* contentType;  // an allocated copy, or the static empty text
  HostHeader* headers;      // allocated array, each text allocated
  std::uint32_t headerCount;
  HostStreamRead streamRead;
  HostStreamRelease streamRelease;
  std::uint32_t streamSize;
  std::uint32_t reserved;  // always 0
  void* stream;            // null when the response has no stream
  HostResponseRelease release;
};

#pragma pack(pop)

static_assert(sizeof(HostResponse) == 62);
static_assert(offsetof(HostResponse, body) == 0);
static_assert(offsetof(HostResponse, errorMessage) == 12);
static_assert(offsetof(HostResponse, errorMessageOwned) == 16);
static_assert(offsetof(HostResponse, transferFlag) == 17);
static_assert(offsetof(HostResponse, transferMode) == 18);
static_assert(offsetof(HostResponse, status) == 22);
static_assert(offsetof(HostResponse, contentType) == 26);
static_assert(offsetof(HostResponse, headers) == 30);
static_assert(offsetof(HostResponse, headerCount) == 34);
static_assert(offsetof(HostResponse, streamRead) == 38);
static_assert(offsetof(HostResponse, streamRelease) == 42);
static_assert(offsetof(HostResponse, streamSize) == 46);
static_assert(offsetof(HostResponse, reserved) == 50);
static_assert(offsetof(HostResponse, stream) == 54);
static_assert(offsetof(HostResponse, release) == 58);
// The first 17 bytes are the error sink of the host value conversions.
static_assert(offsetof(HostResponse, body) == offsetof(HostErrorSink, body));
static_assert(offsetof(HostResponse, errorMessage) == offsetof(HostErrorSink, errorMessage));
static_assert(offsetof(HostResponse, errorMessageOwned) == offsetof(HostErrorSink, errorMessageOwned));

// The static empty text handed as the content type of a response that has
// none; never freed.
extern const char hostResponseEmptyText[1];

// Frees everything the plugin allocated into the record (the stream is left
// to streamRelease) and sets all 62 bytes to zero. Harmless on an all-zero
// record and on null.
void releaseHostResponse(HostResponse* response);

// Makes a record of unknown content ready to be filled: all zero, with
// releaseHostResponse as its release function. Nothing in it is freed: what
// the core hands in is not the plugin's to free.
void resetHostResponse(HostResponse& response);

// Writes a response into a reset record: the failure message, or the result
// as an owning HostValue (enumerations by name when the registry knows the
// type; status 400 when the conversion fails, the part converted staying in
// the record); then the transfer settings, the status, the content type, the
// headers, and the stream, whose ownership moves to the record.
void fillHostResponse(HostResponse& hostResponse, RemotingResponse& response, const TypeRegistry* registry);

// hostValueToValue (binding/host_value.h) with the response's first 17 bytes
// as the error sink: on failure its body is released and its error text set.
bool hostValueToValue(HostResponse& sink, Value& target, const HostValue& source, std::string_view name);

}  // namespace Quor
