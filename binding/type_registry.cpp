#include "binding/type_registry.h"

#include <utility>

#include "binding/fnv1a.h"

namespace Quor {

// ---- TypeDescription -------------------------------------------------------------

const EnumValueDescription* TypeDescription::findEnumValue(std::int32_t number) const {
  for (const auto& [valueName, value] : enumValues) {
    if (value.value == number) return &value;
  }
  return nullptr;
}

const EnumValueDescription* TypeDescription::findEnumName(std::string_view valueName) const {
  const auto found = enumValues.find(valueName);
  return found != enumValues.end() ? &found->second : nullptr;
}

// ---- TypeRef ----------------------------------------------------------------------

namespace {

TypeRef containerOf(NativeKind kind, const TypeRef& element) {
  TypeRef container{kind, element.kind, nullptr, nullptr, std::make_shared<const TypeRef>(element)};
  if (element.kind == NativeKind::Enum || element.kind == NativeKind::Struct) {
    container.description = element.description;
    container.typeHash = element.typeHash;
  }
  return container;
}

}  // namespace

TypeRef vectorOf(const TypeRef& element) { return containerOf(NativeKind::Vector, element); }
TypeRef mapOf(const TypeRef& element) { return containerOf(NativeKind::Map, element); }

// ---- TypeBuilder --------------------------------------------------------------------

TypeBuilder& TypeBuilder::addEnumValue(std::string_view name, std::int32_t number, std::string_view description) {
  if (alreadyRegistered_) return *this;
  const std::lock_guard lock(registry_.mutex_);
  auto found = description_.enumValues.find(name);
  if (found == description_.enumValues.end()) {
    found = description_.enumValues.emplace(std::string(name), EnumValueDescription{}).first;
    found->second.name = std::string(name);
  }
  found->second.value = number;
  found->second.description = std::string(description);
  found->second.owner = &description_;
  return *this;
}

TypeBuilder& TypeBuilder::addField(std::string_view name, std::string_view description, std::uint32_t offset,
                                   const TypeHashRecord* typeHash, const TypeRef& type, const TypeRef* declaredType,
                                   std::uint8_t flags, FieldConverter* converter, bool custom) {
  FieldConverterHandle handle(converter);
  if (alreadyRegistered_) return *this;
  FieldDescription field;
  field.name = std::string(name);
  field.nameHash = fnv1a(name);
  field.description = std::string(description);
  field.typeHash = typeHash;
  field.offset = offset;
  field.type = type;
  if (declaredType != nullptr && declaredType->kind != NativeKind::None) field.declaredType = *declaredType;
  field.flags = flags;
  field.converter = std::move(handle);
  field.custom = custom;
  const std::lock_guard lock(registry_.mutex_);
  description_.fields.push_back(std::move(field));
  return *this;
}

TypeBuilder& TypeBuilder::setDescription(std::string_view description) {
  if (alreadyRegistered_) return *this;
  const std::lock_guard lock(registry_.mutex_);
  description_.description = std::string(description);
  return *this;
}

TypeBuilder& TypeBuilder::setNameSpace(std::string_view nameSpace) {
  if (alreadyRegistered_) return *this;
  const std::lock_guard lock(registry_.mutex_);
  description_.nameSpace = std::string(nameSpace);
  return *this;
}

TypeBuilder& TypeBuilder::addTag(std::string_view tag) {
  if (alreadyRegistered_) return *this;
  const std::lock_guard lock(registry_.mutex_);
  description_.tags.emplace_back(tag);
  return *this;
}

// ---- TypeRegistry ---------------------------------------------------------------------

TypeBuilder TypeRegistry::registerType(std::uint32_t size, std::string_view name, const TypeHashRecord* hashRecord,
                                       bool isEnum) {
  const std::lock_guard lock(mutex_);
  if (const auto found = typesByName_.find(name); found != typesByName_.end()) {
    return TypeBuilder(*this, *found->second, true);
  }
  auto description = std::make_unique<TypeDescription>();
  description->size = size;
  description->isEnum = isEnum;
  description->name = std::string(name);
  description->hashRecord = hashRecord;
  description->hashCode = hashRecord != nullptr ? hashRecord->code : 0;
  description->registry = this;
  TypeDescription& entered = *typesByName_.emplace(std::string(name), std::move(description)).first->second;
  // Types without an identity of their own share void's code and are found
  // by name only. A second name for one type keeps the first for its code.
  if (entered.hashCode != voidHashCode) typesByHash_.emplace(entered.hashCode, &entered);
  return TypeBuilder(*this, entered, false);
}

const TypeDescription* TypeRegistry::findByHash(std::uint32_t hashCode) const {
  const std::lock_guard lock(mutex_);
  const auto found = typesByHash_.find(hashCode);
  return found != typesByHash_.end() ? found->second : nullptr;
}

const TypeDescription* TypeRegistry::findByName(std::string_view name) const {
  const std::lock_guard lock(mutex_);
  const auto found = typesByName_.find(name);
  return found != typesByName_.end() ? found->second.get() : nullptr;
}

const TypeDescription* TypeRegistry::resolve(const TypeRef& type) const {
  if (type.description != nullptr) return type.description;
  if (type.typeHash == nullptr) return nullptr;
  return findByHash(type.typeHash->code);
}

const TypeDescription* TypeRegistry::resolve(const TypeRef& type, const TypeRegistry* registry) {
  if (type.description != nullptr || registry == nullptr) return type.description;
  return registry->resolve(type);
}

const EnumValueDescription* TypeRegistry::findEnumValue(const EnumValue& value) const {
  if (value.typeHash == nullptr) return nullptr;
  const TypeDescription* type = findByHash(*value.typeHash);
  return type != nullptr ? type->findEnumValue(value.number) : nullptr;
}

const std::string* TypeRegistry::enumName(const EnumValue& value) const {
  const EnumValueDescription* found = findEnumValue(value);
  return found != nullptr ? &found->name : nullptr;
}

std::shared_ptr<FunctionDescription> TypeRegistry::addFunction(std::shared_ptr<FunctionDescription> function) {
  if (function == nullptr) return nullptr;
  const std::lock_guard lock(mutex_);
  if (const auto found = functionsByName_.find(function->name); found != functionsByName_.end()) {
    return found->second;
  }
  if (function->owner == nullptr) function->owner = this;
  const std::string name = function->name;
  return functionsByName_.emplace(name, std::move(function)).first->second;
}

std::shared_ptr<FunctionDescription> TypeRegistry::findFunction(std::string_view name) const {
  const std::lock_guard lock(mutex_);
  const auto found = functionsByName_.find(name);
  return found != functionsByName_.end() ? found->second : nullptr;
}

bool TypeRegistry::addEvent(std::shared_ptr<EventDescription> event) {
  if (event == nullptr) return false;
  const std::lock_guard lock(mutex_);
  if (eventsByName_.contains(event->name)) return false;
  const std::string name = event->name;
  eventsByName_.emplace(name, std::move(event));
  return true;
}

bool TypeRegistry::removeEvent(std::string_view name) {
  const std::lock_guard lock(mutex_);
  const auto found = eventsByName_.find(name);
  if (found == eventsByName_.end()) return false;
  eventsByName_.erase(found);
  return true;
}

std::shared_ptr<const EventDescription> TypeRegistry::findEvent(std::string_view name) const {
  const std::lock_guard lock(mutex_);
  const auto found = eventsByName_.find(name);
  return found != eventsByName_.end() ? found->second : nullptr;
}

std::vector<std::shared_ptr<const FunctionDescription>> TypeRegistry::functionsSnapshot() const {
  const std::lock_guard lock(mutex_);
  std::vector<std::shared_ptr<const FunctionDescription>> snapshot;
  snapshot.reserve(functionsByName_.size());
  for (const auto& [name, function] : functionsByName_) snapshot.push_back(function);
  return snapshot;
}

std::vector<const TypeDescription*> TypeRegistry::typesSnapshot() const {
  const std::lock_guard lock(mutex_);
  std::vector<const TypeDescription*> snapshot;
  snapshot.reserve(typesByName_.size());
  for (const auto& [name, type] : typesByName_) snapshot.push_back(type.get());
  return snapshot;
}

std::vector<std::shared_ptr<const EventDescription>> TypeRegistry::eventsSnapshot() const {
  const std::lock_guard lock(mutex_);
  std::vector<std::shared_ptr<const EventDescription>> snapshot;
  snapshot.reserve(eventsByName_.size());
  for (const auto& [name, event] : eventsByName_) snapshot.push_back(event);
  return snapshot;
}

}  // namespace Quor
