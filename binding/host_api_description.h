#pragma once
// The description of the plugin's API handed to the core at registration:
// flat arrays of packed records for every bound function, registered type
// and event. Every record begins with a pointer to the next record of its
// array (null in the last), so an array can be walked as a list too.
//
// Texts point into the registry's own strings (kept alive by the snapshots
// the export holds); the arrays belong to the HostApiExport, which must live
// as long as the core may read the description.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "binding/function_description.h"
#include "binding/library_allocator.h"

namespace Quor {

class TypeRegistry;

#pragma pack(push, 1)

struct HostArgumentDescription {
  HostArgumentDescription* next;
  const char* name;
  const char* description;
  std::uint32_t kind;
  std::uint32_t elementKind;
  const char* typeName;
  std::uint8_t optional;
};

struct HostFunctionDescription {
  HostFunctionDescription* next;
  std::uint32_t reserved;  // zero
  void* context;           // zero here; the endpoint's copy holds its context
  const char* name;
  const char* nameSpace;
  HostArgumentDescription* arguments;
  std::uint32_t argumentCount;
  std::uint32_t returnKind;
  std::uint32_t returnElementKind;
  const char* returnTypeName;
  const char* description;
  const char* help;
  std::uint8_t threadSafe;
  const char* asyncTypeName;  // the registered name of an async function's result type
  const char* const* tags;
  std::uint32_t tagCount;
};

struct HostFieldDescription {
  HostFieldDescription* next;
  const char* name;
  const char* description;
  std::uint32_t offset;
  std::uint32_t kind;
  std::uint32_t elementKind;
  const char* typeName;
  std::uint8_t custom;
};

struct HostEnumValueDescription {
  HostEnumValueDescription* next;
  const char* name;
  const char* description;
  std::int32_t value;
};

struct HostTypeDescription {
  HostTypeDescription* next;
  const char* name;
  const char* nameSpace;
  std::uint32_t size;
  const char* description;
  const char* const* tags;
  std::uint32_t tagCount;
  HostFieldDescription* fields;           // structs with fields; null otherwise
  HostEnumValueDescription* enumValues;   // types without fields; null otherwise
  std::uint32_t count;                    // of fields, or of enum values
};

struct HostEventDescription {
  HostEventDescription* next;
  const char* name;
  const char* nameSpace;
  const char* payloadTypeName;
  const char* description;
  const char* const* tags;
  std::uint32_t tagCount;
};

struct HostApiDescription {
  HostFunctionDescription* functions;
  std::uint32_t functionCount;
  HostTypeDescription* types;
  std::uint32_t typeCount;
  HostEventDescription* events;
  std::uint32_t eventCount;
};

#pragma pack(pop)

static_assert(sizeof(HostArgumentDescription) == 25);
static_assert(offsetof(HostArgumentDescription, next) == 0);
static_assert(offsetof(HostArgumentDescription, name) == 4);
static_assert(offsetof(HostArgumentDescription, description) == 8);
static_assert(offsetof(HostArgumentDescription, kind) == 12);
static_assert(offsetof(HostArgumentDescription, elementKind) == 16);
static_assert(offsetof(HostArgumentDescription, typeName) == 20);
static_assert(offsetof(HostArgumentDescription, optional) == 24);

static_assert(sizeof(HostFunctionDescription) == 61);
static_assert(offsetof(HostFunctionDescription, next) == 0);
static_assert(offsetof(HostFunctionDescription, reserved) == 4);
static_assert(offsetof(HostFunctionDescription, context) == 8);
static_assert(offsetof(HostFunctionDescription, name) == 12);
static_assert(offsetof(HostFunctionDescription, nameSpace) == 16);
static_assert(offsetof(HostFunctionDescription, arguments) == 20);
static_assert(offsetof(HostFunctionDescription, argumentCount) == 24);
static_assert(offsetof(HostFunctionDescription, returnKind) == 28);
static_assert(offsetof(HostFunctionDescription, returnElementKind) == 32);
static_assert(offsetof(HostFunctionDescription, returnTypeName) == 36);
static_assert(offsetof(HostFunctionDescription, description) == 40);
static_assert(offsetof(HostFunctionDescription, help) == 44);
static_assert(offsetof(HostFunctionDescription, threadSafe) == 48);
static_assert(offsetof(HostFunctionDescription, asyncTypeName) == 49);
static_assert(offsetof(HostFunctionDescription, tags) == 53);
static_assert(offsetof(HostFunctionDescription, tagCount) == 57);

static_assert(sizeof(HostFieldDescription) == 29);
static_assert(offsetof(HostFieldDescription, next) == 0);
static_assert(offsetof(HostFieldDescription, name) == 4);
static_assert(offsetof(HostFieldDescription, description) == 8);
static_assert(offsetof(HostFieldDescription, offset) == 12);
static_assert(offsetof(HostFieldDescription, kind) == 16);
static_assert(offsetof(HostFieldDescription, elementKind) == 20);
static_assert(offsetof(HostFieldDescription, typeName) == 24);
static_assert(offsetof(HostFieldDescription, custom) == 28);

static_assert(sizeof(HostEnumValueDescription) == 16);
static_assert(offsetof(HostEnumValueDescription, next) == 0);
static_assert(offsetof(HostEnumValueDescription, name) == 4);
static_assert(offsetof(HostEnumValueDescription, description) == 8);
static_assert(offsetof(HostEnumValueDescription, value) == 12);

static_assert(sizeof(HostTypeDescription) == 40);
static_assert(offsetof(HostTypeDescription, next) == 0);
static_assert(offsetof(HostTypeDescription, name) == 4);
static_assert(offsetof(HostTypeDescription, nameSpace) == 8);
static_assert(offsetof(HostTypeDescription, size) == 12);
static_assert(offsetof(HostTypeDescription, description) == 16);
static_assert(offsetof(HostTypeDescription, tags) == 20);
static_assert(offsetof(HostTypeDescription, tagCount) == 24);
static_assert(offsetof(HostTypeDescription, fields) == 28);
static_assert(offsetof(HostTypeDescription, enumValues) == 32);
static_assert(offsetof(HostTypeDescription, count) == 36);

static_assert(sizeof(HostEventDescription) == 28);
static_assert(offsetof(HostEventDescription, next) == 0);
static_assert(offsetof(HostEventDescription, name) == 4);
static_assert(offsetof(HostEventDescription, nameSpace) == 8);
static_assert(offsetof(HostEventDescription, payloadTypeName) == 12);
static_assert(offsetof(HostEventDescription, description) == 16);
static_assert(offsetof(HostEventDescription, tags) == 20);
static_assert(offsetof(HostEventDescription, tagCount) == 24);

static_assert(sizeof(HostApiDescription) == 24);
static_assert(offsetof(HostApiDescription, functions) == 0);
static_assert(offsetof(HostApiDescription, functionCount) == 4);
static_assert(offsetof(HostApiDescription, types) == 8);
static_assert(offsetof(HostApiDescription, typeCount) == 12);
static_assert(offsetof(HostApiDescription, events) == 16);
static_assert(offsetof(HostApiDescription, eventCount) == 20);

// Owns one built description and everything its records point to apart
// from the registry's texts.
class HostApiExport {
 public:
  HostApiExport() = default;
  HostApiExport(const HostApiExport&) = delete;
  HostApiExport& operator=(const HostApiExport&) = delete;

  // Builds the description from snapshots of the registry's functions, types
  // and events; a previous description is replaced.
  const HostApiDescription& build(const TypeRegistry& registry);
  const HostApiDescription& description() const { return description_; }

 private:
  template <class T>
  using Array = std::vector<T, LibraryStdAllocator<T>>;
  using TagArray = Array<const char*>;

  const char* const* tagArray(const std::vector<std::string>& tags);

  std::vector<std::shared_ptr<const FunctionDescription>> functions_;
  std::vector<const TypeDescription*> types_;
  std::vector<std::shared_ptr<const EventDescription>> events_;

  Array<HostFunctionDescription> functionRecords_;
  std::vector<Array<HostArgumentDescription>> argumentRecords_;
  Array<HostTypeDescription> typeRecords_;
  std::vector<Array<HostFieldDescription>> fieldRecords_;
  std::vector<Array<HostEnumValueDescription>> enumValueRecords_;
  Array<HostEventDescription> eventRecords_;
  std::vector<TagArray> tagArrays_;
  HostApiDescription description_{};
};

}  // namespace Quor
