#pragma once
// The C records in which values cross between the plugin and the core, and
// the conversions between them and Value trees.
//
// Every block a record owns (owned texts and blobs, element and member
// arrays, owned member names) comes from the library's allocation functions
// (binding/library_allocator.h), so the record's release function can free
// it. Borrowed texts and blobs (codes 5 and 7) are never freed here.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "binding/value.h"

namespace Quor {

class TypeRegistry;

enum class HostValueKind : std::uint32_t {
  Empty = 0,
  Bool = 1,
  Signed = 2,
  Unsigned = 3,
  Float = 4,
  BorrowedString = 5,
  OwnedString = 6,
  BorrowedBlob = 7,
  OwnedBlob = 8,
  Collection = 9,
  Structure = 10,
};

// The name messages print for a type code; the empty text for codes 0 and
// above 10.
const char* hostValueKindName(std::uint32_t code);

#pragma pack(push, 1)

// A pointer and a count: texts (length in bytes), blobs (byte count),
// element and member arrays (record count).
struct HostValueBuffer {
  void* data;
  std::uint32_t count;
};

union HostValuePayload {
  std::uint8_t boolean;  // 0 or 1
  std::int64_t signedValue;
  std::uint64_t unsignedValue;
  double floatValue;
  HostValueBuffer buffer;
};

struct HostValue {
  std::uint32_t type;  // a HostValueKind code
  HostValuePayload payload;
};

struct HostStructMember {
  const char* name;
  HostValue value;
  std::uint8_t ownsName;  // 1 when the record owns the name text
};

// Where a conversion from the core reports its failure: the first 17 bytes
// of a HostResponse.
struct HostErrorSink {
  HostValue body;
  char* errorMessage;
  std::uint8_t errorMessageOwned;
};

#pragma pack(pop)

static_assert(sizeof(HostValueBuffer) == 8);
static_assert(offsetof(HostValueBuffer, data) == 0);
static_assert(offsetof(HostValueBuffer, count) == 4);
static_assert(sizeof(HostValuePayload) == 8);
static_assert(sizeof(HostValue) == 12);
static_assert(offsetof(HostValue, type) == 0);
static_assert(offsetof(HostValue, payload) == 4);
static_assert(sizeof(HostStructMember) == 17);
static_assert(offsetof(HostStructMember, name) == 0);
static_assert(offsetof(HostStructMember, value) == 4);
static_assert(offsetof(HostStructMember, ownsName) == 16);
static_assert(sizeof(HostErrorSink) == 17);
static_assert(offsetof(HostErrorSink, body) == 0);
static_assert(offsetof(HostErrorSink, errorMessage) == 12);
static_assert(offsetof(HostErrorSink, errorMessageOwned) == 16);

// Frees what the record owns and resets it to empty (all 12 bytes zero).
// Harmless on an all-zero record.
void releaseHostValue(HostValue& value) noexcept;

// Releases a record the plugin fills, on every way out of a scope.
class HostValueRelease {
 public:
  explicit HostValueRelease(HostValue& value) : value_(value) {}
  HostValueRelease(const HostValueRelease&) = delete;
  HostValueRelease& operator=(const HostValueRelease&) = delete;
  ~HostValueRelease() { releaseHostValue(value_); }

 private:
  HostValue& value_;
};

// The record's content as a Value. An unknown type code, a null array with
// elements, or nesting deeper than maxConversionDepth fail: the sink's body is
// released (with the library's functions: give a sink whose body the plugin
// owns, or an empty one), its error text becomes an owned copy of the message
// (an owned text it held is freed first) and the answer is false. name is
// quoted by the message. A text is read up to its terminating zero whatever
// its length field says; null pointers with a count of 0 are accepted.
bool hostValueToValue(HostErrorSink& sink, Value& target, const HostValue& source, std::string_view name);

// The same for a record the core owns, with the failure's message put into
// error (when given) rather than into a sink.
bool hostValueToValue(Value& target, const HostValue& source, std::string_view name, std::string* error = nullptr);

// A Value as an owning record; the target is released first. With a
// registry, enumerations whose number has a name become that name as text.
// Fails only beyond maxConversionDepth (the records converted so far stay in
// place); error, when given, then receives the reason.
bool valueToHostValue(HostValue& target, const Value& source, const TypeRegistry* registry,
                      std::string* error = nullptr);

}  // namespace Quor
