#pragma once
// The registry of native structs and enums, and of the remoting layer's
// bound functions and events.
//
// Types are registered once, while the plugin object is set up; the first
// registration of a name wins and later ones change nothing. Descriptions are
// never removed and must not change once set up: lookups hold the mutex only
// while searching and hand out the description itself. Events can be removed;
// snapshots keep what they copied alive.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "binding/function_description.h"
#include "binding/static_type.h"
#include "binding/type_description.h"
#include "binding/value.h"

namespace Quor {

class TypeRegistry;

// Fills one registered description. Every operation does nothing when the
// name was registered before (the builder then shows the first description).
class TypeBuilder {
 public:
  TypeBuilder(TypeRegistry& registry, TypeDescription& description, bool alreadyRegistered)
      : registry_(registry), description_(description), alreadyRegistered_(alreadyRegistered) {}

  // Inserts the value, or overwrites the number and description of a value
  // of that name.
  TypeBuilder& addEnumValue(std::string_view name, std::int32_t number, std::string_view description = {});

  // Appends a field. The description takes over the converter (released
  // right away when the type was registered before). declaredType may be
  // null; it is kept only when its kind is not None.
  TypeBuilder& addField(std::string_view name, std::string_view description, std::uint32_t offset,
                        const TypeHashRecord* typeHash, const TypeRef& type, const TypeRef* declaredType,
                        std::uint8_t flags, FieldConverter* converter, bool custom = false);

  // Appends a field of native type Member: kind, element kind, referenced
  // description, hash record and converter all follow from the type.
  // Defined in binding/typed_conversion.h (include it to use this).
  template <class Member>
  TypeBuilder& field(std::string_view name, std::uint32_t offset, std::string_view description = {},
                     std::uint8_t flags = 0);

  TypeBuilder& setDescription(std::string_view description);
  TypeBuilder& setNameSpace(std::string_view nameSpace);
  TypeBuilder& addTag(std::string_view tag);

  const TypeDescription& description() const { return description_; }
  bool alreadyRegistered() const { return alreadyRegistered_; }
  TypeRegistry& registry() const { return registry_; }

 private:
  TypeRegistry& registry_;
  TypeDescription& description_;
  bool alreadyRegistered_;
};

class TypeRegistry {
 public:
  TypeRegistry() = default;
  TypeRegistry(const TypeRegistry&) = delete;
  TypeRegistry& operator=(const TypeRegistry&) = delete;

  // ---- Types --------------------------------------------------------------------
  TypeBuilder registerType(std::uint32_t size, std::string_view name, const TypeHashRecord* hashRecord,
                           bool isEnum);

  template <class T>
  TypeBuilder registerStruct(std::string_view name) {
    return registerType(sizeof(T), name, &StaticType::HashRecord<T>(), false);
  }
  template <class T>
  TypeBuilder registerEnum(std::string_view name) {
    static_assert(std::is_enum_v<T>);
    return registerType(sizeof(T), name, &StaticType::HashRecord<T>(), true);
  }

  // Null when nothing is registered under the code or name.
  const TypeDescription* findByHash(std::uint32_t hashCode) const;
  const TypeDescription* findByName(std::string_view name) const;
  template <class T>
  const TypeDescription* find() const {
    return findByHash(StaticType::HashCode<T>());
  }

  // The enum or struct a TypeRef involves: its description, or the one
  // registered under its hash code since the reference was made; null when
  // there is neither.
  const TypeDescription* resolve(const TypeRef& type) const;
  // The same through registry when it is given.
  static const TypeDescription* resolve(const TypeRef& type, const TypeRegistry* registry);

  // Set once the built-in registrations are made.
  bool initialised() const { return initialised_.load(std::memory_order_acquire); }
  void markInitialised() { initialised_.store(true, std::memory_order_release); }

  // The value of the enum an EnumValue belongs to (found through the hash
  // code it refers to) that carries its number, the first in name order; null
  // without such a value or without the type.
  const EnumValueDescription* findEnumValue(const EnumValue& value) const;
  // Its name, or null.
  const std::string* enumName(const EnumValue& value) const;
  // Whether any value of the enum has that number.
  static bool isDeclaredEnumValue(const TypeDescription& enumType, std::int32_t number) {
    return enumType.declaresEnumValue(number);
  }

  // ---- Functions and events -------------------------------------------------------
  // Registers the function under its name unless one of that name exists;
  // returns the one registered under the name. The function's owner is set
  // to this registry when it has none.
  std::shared_ptr<FunctionDescription> addFunction(std::shared_ptr<FunctionDescription> function);
  std::shared_ptr<FunctionDescription> findFunction(std::string_view name) const;

  // False (and nothing changed) when an event of that name exists.
  bool addEvent(std::shared_ptr<EventDescription> event);
  bool removeEvent(std::string_view name);
  std::shared_ptr<const EventDescription> findEvent(std::string_view name) const;

  // ---- Snapshots, copied under the mutex -----------------------------------------
  std::vector<std::shared_ptr<const FunctionDescription>> functionsSnapshot() const;
  std::vector<const TypeDescription*> typesSnapshot() const;
  std::vector<std::shared_ptr<const EventDescription>> eventsSnapshot() const;

 private:
  friend class TypeBuilder;

  mutable std::mutex mutex_;
  std::atomic<bool> initialised_{false};
  std::map<std::string, std::unique_ptr<TypeDescription>, std::less<>> typesByName_;
  std::unordered_map<std::uint32_t, const TypeDescription*> typesByHash_;
  std::map<std::string, std::shared_ptr<FunctionDescription>, std::less<>> functionsByName_;
  std::map<std::string, std::shared_ptr<EventDescription>, std::less<>> eventsByName_;
};

}  // namespace Quor
