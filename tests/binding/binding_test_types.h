#pragma once
// Registrations and helpers shared by the binding and remoting tests: the
// plugin-manager records as the bridge registers them, a recursive record,
// and comparisons of Value trees.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "binding/type_registry.h"
#include "binding/typed_conversion.h"
#include "binding/value.h"
#include "host/event_type_registration.h"

namespace Quor::BindingTest {

// A tree node whose children are records of its own type.
struct Node {
  std::int32_t id = 0;
  std::vector<Node> children;
};

// Two integers, for checking the order in which members are assigned.
struct Pair {
  std::int32_t first = -1;
  std::int32_t second = -1;
};

}  // namespace Quor::BindingTest

QUOR_STATIC_TYPE(Quor::BindingTest::Node, "struct Quor::BindingTest::Node");
QUOR_STATIC_TYPE(Quor::BindingTest::Pair, "struct Quor::BindingTest::Pair");

namespace Quor::BindingTest {

// The plugin-manager records, registered as the bridge registers them.
inline void registerPluginTypes(TypeRegistry& registry) { registerPluginEventTypes(registry); }

inline void registerTestTypes(TypeRegistry& registry) {
  registry.registerStruct<Pair>("Pair")
      .field<std::int32_t>("first", offsetof(Pair, first))
      .field<std::int32_t>("second", offsetof(Pair, second));
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#endif
  // Node is registered by the time its children field is added, so the field
  // refers to Node's own description.
  registry.registerStruct<Node>("Node")
      .field<std::int32_t>("id", offsetof(Node, id))
      .field<std::vector<Node>>("children", offsetof(Node, children));
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
}

// Structures nested depth levels deep: {"child": {"child": ... 7}}.
inline Value nestedStructures(std::size_t depth) {
  Value root;
  Value* level = &root;
  for (std::size_t index = 0; index < depth; ++index) level = &level->writeMember("child");
  level->setSigned(std::int32_t{7});
  return root;
}

// A Value tree as the Node record expects it, levels deep, one child each.
inline Value nodeChain(std::size_t levels) {
  Value root;
  Value* node = &root;
  for (std::size_t index = 0; index < levels; ++index) {
    node->writeMember("id").setSigned(static_cast<std::int64_t>(index));
    if (index + 1 < levels) node = &node->writeMember("children").appendElement();
  }
  return root;
}

// Whether two trees hold the same kinds, payloads, elements and members.
inline bool sameTree(const Value& a, const Value& b) {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case ValueKind::Empty: return true;
    case ValueKind::Bool: return a.getBool() == b.getBool();
    case ValueKind::Signed: return a.getSigned() == b.getSigned();
    case ValueKind::Unsigned: return a.getUnsigned() == b.getUnsigned();
    case ValueKind::Float: return a.getFloat() == b.getFloat();
    case ValueKind::String: return a.getString() == b.getString();
    case ValueKind::Blob: {
      const auto x = a.getBlob();
      const auto y = b.getBlob();
      return std::vector<std::uint8_t>(x.begin(), x.end()) == std::vector<std::uint8_t>(y.begin(), y.end());
    }
    case ValueKind::Enum: return a.getEnum() == b.getEnum();
    case ValueKind::Collection: {
      if (a.size() != b.size()) return false;
      for (std::size_t index = 0; index < a.size(); ++index) {
        if (!sameTree(a.element(index), b.element(index))) return false;
      }
      return true;
    }
    case ValueKind::Structure: {
      if (a.size() != b.size()) return false;
      for (const MemberView member : a.members()) {
        if (!b.hasMember(member.name) || !sameTree(member.value, b.member(member.name))) return false;
      }
      return true;
    }
  }
  return false;
}

inline std::vector<std::string> memberNames(const Value& value) {
  std::vector<std::string> names;
  for (const MemberView member : value.members()) names.emplace_back(member.name);
  return names;
}

}  // namespace Quor::BindingTest
