#include "binding/host_api_description.h"

#include <cstring>

#include "binding/c_record_arrays.h"
#include "binding/type_registry.h"

namespace Quor {

namespace {

const char emptyText[] = "";

// The kind as written into the records (0 outside 1 to 19), and the
// registered name of a vector's, enum's, struct's or map's description.
struct DescribedType {
  std::uint32_t kind;
  std::uint32_t elementKind;
  const char* typeName;
};

// The name is looked up now rather than when the reference was made, so a
// record registered before the enum or struct it uses still names it.
DescribedType describe(const TypeRef& type, const TypeRegistry& registry) {
  DescribedType described{nativeKindCode(type.kind), nativeKindCode(type.elementKind), emptyText};
  switch (type.kind) {
    case NativeKind::Vector:
    case NativeKind::Enum:
    case NativeKind::Struct:
    case NativeKind::Map:
      if (const TypeDescription* referenced = registry.resolve(type); referenced != nullptr) {
        described.typeName = referenced->name.c_str();
      }
      break;
    default:
      break;
  }
  return described;
}

template <class Records>
auto* firstOf(Records& records) {
  return records.empty() ? nullptr : records.data();
}

}  // namespace

const char* const* HostApiExport::tagArray(const std::vector<std::string>& tags) {
  if (tags.empty()) return nullptr;
  TagArray& array = tagArrays_.emplace_back();
  array.reserve(tags.size());
  for (const std::string& tag : tags) array.push_back(tag.c_str());
  return array.data();
}

const HostApiDescription& HostApiExport::build(const TypeRegistry& registry) {
  functions_ = registry.functionsSnapshot();
  types_ = registry.typesSnapshot();
  events_ = registry.eventsSnapshot();
  functionRecords_.clear();
  argumentRecords_.clear();
  typeRecords_.clear();
  fieldRecords_.clear();
  enumValueRecords_.clear();
  eventRecords_.clear();
  tagArrays_.clear();

  functionRecords_.resize(functions_.size());
  for (std::size_t index = 0; index < functions_.size(); ++index) {
    const FunctionDescription& function = *functions_[index];
    HostFunctionDescription& record = functionRecords_[index];
    zeroRecord(record);

    Array<HostArgumentDescription>& arguments = argumentRecords_.emplace_back(function.parameters.size());
    for (std::size_t position = 0; position < function.parameters.size(); ++position) {
      const ParameterDescription& parameter = function.parameters[position];
      HostArgumentDescription& argument = arguments[position];
      zeroRecord(argument);
      const DescribedType type = describe(parameter.describedType(), registry);
      argument.name = parameter.name.c_str();
      argument.description = parameter.description.c_str();
      argument.kind = type.kind;
      argument.elementKind = type.elementKind;
      argument.typeName = type.typeName;
      argument.optional = parameter.optional ? 1 : 0;
    }
    chainRecords(arguments);

    const DescribedType returns = describe(function.describedReturns(), registry);
    record.name = function.name.c_str();
    record.nameSpace = function.nameSpace.c_str();
    record.arguments = firstOf(arguments);
    record.argumentCount = static_cast<std::uint32_t>(arguments.size());
    record.returnKind = returns.kind;
    record.returnElementKind = returns.elementKind;
    record.returnTypeName = returns.typeName;
    record.description = function.description.c_str();
    record.help = function.help.c_str();
    record.threadSafe = function.threadSafe ? 1 : 0;
    record.asyncTypeName = emptyText;
    if (const TypeDescription* result = registry.resolve(function.returns); function.async && result != nullptr) {
      record.asyncTypeName = result->name.c_str();
    }
    record.tags = tagArray(function.tags);
    record.tagCount = static_cast<std::uint32_t>(function.tags.size());
  }
  chainRecords(functionRecords_);

  typeRecords_.resize(types_.size());
  for (std::size_t index = 0; index < types_.size(); ++index) {
    const TypeDescription& type = *types_[index];
    HostTypeDescription& record = typeRecords_[index];
    zeroRecord(record);
    record.name = type.name.c_str();
    record.nameSpace = type.nameSpace.c_str();
    record.size = type.size;
    record.description = type.description.c_str();
    record.tags = tagArray(type.tags);
    record.tagCount = static_cast<std::uint32_t>(type.tags.size());
    if (!type.fields.empty()) {
      Array<HostFieldDescription>& fields = fieldRecords_.emplace_back(type.fields.size());
      for (std::size_t position = 0; position < type.fields.size(); ++position) {
        const FieldDescription& field = type.fields[position];
        HostFieldDescription& fieldRecord = fields[position];
        zeroRecord(fieldRecord);
        const DescribedType described = describe(field.describedType(), registry);
        fieldRecord.name = field.name.c_str();
        fieldRecord.description = field.description.c_str();
        fieldRecord.offset = field.offset;
        fieldRecord.kind = described.kind;
        fieldRecord.elementKind = described.elementKind;
        fieldRecord.typeName = described.typeName;
        fieldRecord.custom = field.custom ? 1 : 0;
      }
      chainRecords(fields);
      record.fields = fields.data();
      record.count = static_cast<std::uint32_t>(fields.size());
    } else if (!type.enumValues.empty()) {
      Array<HostEnumValueDescription>& values = enumValueRecords_.emplace_back(type.enumValues.size());
      std::size_t position = 0;
      for (const auto& [valueName, value] : type.enumValues) {
        HostEnumValueDescription& valueRecord = values[position++];
        zeroRecord(valueRecord);
        valueRecord.name = value.name.c_str();
        valueRecord.description = value.description.c_str();
        valueRecord.value = value.value;
      }
      chainRecords(values);
      record.enumValues = values.data();
      record.count = static_cast<std::uint32_t>(values.size());
    }
  }
  chainRecords(typeRecords_);

  eventRecords_.resize(events_.size());
  for (std::size_t index = 0; index < events_.size(); ++index) {
    const EventDescription& event = *events_[index];
    HostEventDescription& record = eventRecords_[index];
    zeroRecord(record);
    record.name = event.name.c_str();
    record.nameSpace = event.nameSpace.c_str();
    record.payloadTypeName = event.payload != nullptr ? event.payload->name.c_str() : emptyText;
    record.description = event.description.c_str();
    record.tags = tagArray(event.tags);
    record.tagCount = static_cast<std::uint32_t>(event.tags.size());
  }
  chainRecords(eventRecords_);

  description_.functions = firstOf(functionRecords_);
  description_.functionCount = static_cast<std::uint32_t>(functionRecords_.size());
  description_.types = firstOf(typeRecords_);
  description_.typeCount = static_cast<std::uint32_t>(typeRecords_.size());
  description_.events = firstOf(eventRecords_);
  description_.eventCount = static_cast<std::uint32_t>(eventRecords_.size());
  return description_;
}

}  // namespace Quor
