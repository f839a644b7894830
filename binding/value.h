#pragma once
// The one dynamic value of the runtime: request bodies, bound arguments and
// results, host values and error carriers are all Value trees.
//
// A tree keeps its variable-size storage in one ValueStore owned by the root:
// strings are interned with reference counts, container headers come from the
// store's block pools. Elements and members use their root's store and must
// not outlive it.

#include <cstddef>
#include <cstdint>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "binding/interned_string.h"
#include "binding/store_allocator.h"
#include "binding/value_store.h"

namespace Quor {

class ValueStore;

enum class ValueKind : std::uint8_t {
  Empty = 0,
  Bool = 1,
  Signed = 2,
  Unsigned = 3,
  Float = 4,
  String = 5,
  Blob = 6,
  Enum = 7,
  Collection = 8,
  Structure = 9,
};

// The name messages print for a kind ("empty", "bool", ...); the empty text
// for a number outside 0 to 9.
const char* valueKindName(ValueKind kind);
const char* valueKindName(unsigned kindNumber);

// An enumeration value: its number and the hash-code record of the enum's
// registered type, through which the registry recovers the value's name.
struct EnumValue {
  std::int32_t number = 0;
  const std::uint32_t* typeHash = nullptr;

  std::uint32_t hashCode() const { return typeHash ? *typeHash : 0; }
  friend bool operator==(const EnumValue& a, const EnumValue& b) {
    return a.number == b.number && a.hashCode() == b.hashCode();
  }
};

class Value;
namespace detail {
struct Member;
class MemberOrderCache;
// For readers that know a structure's member count ahead: room for count
// members (nothing for other kinds). Callers bound count by their input.
void reserveMembers(Value& structure, std::size_t count);
// For readers that know a container's item count ahead: an empty value
// becomes a collection or structure with room for count items, in the block
// of its header when there are at most this many. Callers bound count by
// their input.
inline constexpr std::size_t elementsInHeaderBlock = 3;
inline constexpr std::size_t membersInHeaderBlock = 4;
void makeCollectionWithRoom(Value& empty, std::size_t count);
void makeStructureWithRoom(Value& empty, std::size_t count);
// For readers closing a container made with room: gives back the room its
// items did not use, moving the header (and the items still in its block)
// into a block of the size they need.
void releaseUnusedRoom(Value& container);
// For readers building a new structure: members are appended in the order
// they arrive, unsearched, and put in name order once, by finishMembers,
// where a repeated name keeps its last value. Nothing may read the
// structure in between; a reader that fails clears the whole tree. A reader
// may hand finishMembers a cache of the orders it has seen, and the slot of
// the shape the cache expected (MemberOrderCache::expect; 0xFF for none),
// with whether its names are known to match (MemberOrderCache::expectedOrder).
Value& appendMember(Value& structure, std::string_view name);
void finishMembers(Value& structure, MemberOrderCache* orders = nullptr, std::uint8_t expectedShape = 0xFF,
                   bool shapeMatched = false);
// The member of that name of a structure, finished or still being appended
// to (where a repeated name finds its last member other than `passed`);
// null when it has none.
const Value* findMember(const Value& structure, std::string_view name, const Value* passed = nullptr);
// The blocks the store of value's tree has handed out and not freed (0 while
// it has no store), for tests.
std::size_t liveStoreBlocks(const Value& value);

// For readers that gather the items of an open container on a scratch stack
// and make the container from them in one step when it closes
// (formats/value_builder.h). Items are values of the tree placed by
// placeItem; the container takes them over bytewise (values hold no
// pointers into themselves), so the scratch only forgets them afterwards.
//
// The store of root's tree, made when it has none yet.
ValueStore* storeOf(Value& root);
// An empty value of the tree of that store, placed at place.
inline Value* placeItem(void* place, ValueStore* store);
// A gathered member's name, interned in the tree's store with one
// reference, which the structure takes over (or a reader that fails drops
// with releaseItemName).
struct ItemName {
  std::uint32_t key;  // nameKey of the name
  InternedString* name;
};
[[gnu::always_inline]] inline ItemName internItemName(ValueStore* store, std::string_view name) {
  return {nameKey(name), store->internName(name)};
}
void releaseItemName(ValueStore* store, ItemName name) noexcept;
// appendMember for a name the reader has interned in the tree's store, whose
// reference the structure takes over.
inline Value& appendMember(Value& structure, ItemName name);
// Makes an empty value a collection of the count items, in order.
void makeCollectionOf(Value& empty, Value* items, std::size_t count);
// Makes an empty value a structure of the count items named by names, put
// in name order, where a repeated name keeps its last item (the others are
// released). Its members' values lie in one block that never moves; members
// written later get blocks of their own, so no member moves either way.
void makeStructureOf(Value& empty, Value* items, const ItemName* names, std::size_t count,
                     MemberOrderCache* orders = nullptr);
}  // namespace detail

// One member seen while iterating a structure in name order.
struct MemberView {
  std::string_view name;
  const Value& value;
};

class Value {
 public:
  // A new value is an empty root with no store yet.
  Value();
  ~Value();

  // Copying makes a new root holding a deep copy.
  Value(const Value& other);
  Value& operator=(const Value& other);
  // Moving swaps when both sides are roots (allocating nothing); otherwise
  // the target receives a deep copy. The source is left empty.
  Value(Value&& other) noexcept;
  Value& operator=(Value&& other);

  // Swaps two root values entirely. Swapped with a value inside its own tree
  // (or the reverse), the outer value takes the inner one's content.
  void swap(Value& other);

  // Elements and members are built in place inside their tree's containers;
  // only this class can name the tag.
  class ChildTag {
    friend class Value;
    friend Value* detail::placeItem(void* place, ValueStore* store);
    ChildTag() = default;
  };
  Value(ChildTag, ValueStore* store) : store_(store), ownsStore_(0) { payload_.unsignedValue = 0; }

  // ---- Reading; never changes the value -------------------------------
  ValueKind kind() const { return kind_; }
  bool isEmpty() const { return kind_ == ValueKind::Empty; }
  bool isRoot() const { return ownsStore_ != 0; }

  // Typed reads: the payload when the kind matches exactly, else the default.
  bool getBool(bool defaultValue = false) const;
  std::int64_t getSigned(std::int64_t defaultValue = 0) const;
  std::uint64_t getUnsigned(std::uint64_t defaultValue = 0) const;
  double getFloat(double defaultValue = 0.0) const;

  // Lenient unsigned read for numbers that may arrive in any form: bool as
  // 0/1, signed and unsigned as their 64 bits, float truncated, string parsed
  // in base 0 (strtoull), enum sign-extended, anything else the default.
  std::uint64_t toUnsigned(std::uint64_t defaultValue = 0) const;

  // The string (NUL-terminated at data()[size()]), else the default.
  std::string_view getString(std::string_view defaultValue = {}) const;
  // The string as a C text; the default for other kinds.
  const char* getCString(const char* defaultValue = "") const;
  std::span<const std::uint8_t> getBlob(std::span<const std::uint8_t> defaultValue = {}) const;
  // The enum value, else a shared zero value.
  const EnumValue& getEnum() const;

  // 0 for empty, byte length for string and blob, element count for a
  // collection, member count for a structure, 1 otherwise.
  std::size_t size() const;

  // The element or member, else a shared read-only empty value.
  const Value& element(std::size_t index) const;
  const Value& member(std::string_view name) const;
  bool hasMember(std::string_view name) const;

  // Elements of a collection (empty span for other kinds).
  std::span<const Value> elements() const;
  std::span<Value> elements();

  // Members of a structure in name order (strcmp order).
  class MemberIterator;
  class MemberRange;
  MemberRange members() const;

  // ---- Writing -------------------------------------------------------------
  // Each setter first releases the previous content. The scalar ones are
  // inline: readers call them for nearly every value they read.
  void setEmpty() {
    if (holdsStorage()) release();
    kind_ = ValueKind::Empty;
    payload_.unsignedValue = 0;
  }
  void setBool(bool value) {
    if (holdsStorage()) release();
    payload_.unsignedValue = 0;
    payload_.boolean = value;
    kind_ = ValueKind::Bool;
  }
  void setSigned(std::int32_t value) { setSigned(static_cast<std::int64_t>(value)); }
  void setSigned(std::int64_t value) {
    if (holdsStorage()) release();
    payload_.signedValue = value;
    kind_ = ValueKind::Signed;
  }
  void setUnsigned(std::uint32_t value) { setUnsigned(static_cast<std::uint64_t>(value)); }
  void setUnsigned(std::uint64_t value) {
    if (holdsStorage()) release();
    payload_.unsignedValue = value;
    kind_ = ValueKind::Unsigned;
  }
  void setFloat(double value) {
    if (holdsStorage()) release();
    payload_.floatValue = value;
    kind_ = ValueKind::Float;
  }
  void setString(const char* text);
  void setString(std::string_view text) {
    // A value with a store and no content to release (a reader's new item)
    // takes the text's entry at once.
    if (store_ != nullptr && !holdsStorage()) [[likely]] {
      payload_.string = text.empty() ? ValueStore::emptyString() : store_->internText(text);
      kind_ = ValueKind::String;
      return;
    }
    setStringSlowly(text);
  }
  void setString(const std::string& text) { setString(std::string_view(text)); }
  void setBlob(std::vector<std::uint8_t>&& bytes);
  void setBlob(const void* bytes, std::size_t length);
  void setEnum(const EnumValue& value);

  // Become a collection / structure: kept when already one, else the content
  // is released and the value becomes an empty one.
  void makeCollection();
  void makeStructure();

  // The element at index, appending empty elements until it exists (the value
  // becomes a collection first).
  Value& writeElement(std::size_t index);
  // A new empty element at the end.
  Value& appendElement() {
    if (kind_ == ValueKind::Collection) {
      auto* header = static_cast<CollectionHeader*>(payload_.container);
      if (header->size < header->capacity) return *new (&header->elements[header->size++]) Value(ChildTag{}, store_);
    }
    return appendElementSlow();
  }
  // The member of that name, inserted empty when absent (the value becomes a
  // structure first).
  Value& writeMember(std::string_view name);

  // Room for count elements in a collection; nothing for other kinds.
  // Throws std::length_error beyond maxReserve.
  void reserve(std::size_t count);
  static constexpr std::size_t maxReserve = 0x0FFFFFFF;

 private:
  friend class ValueStore;
  friend void detail::reserveMembers(Value& structure, std::size_t count);
  friend void detail::makeCollectionWithRoom(Value& empty, std::size_t count);
  friend void detail::makeStructureWithRoom(Value& empty, std::size_t count);
  friend void detail::releaseUnusedRoom(Value& container);
  friend Value& detail::appendMember(Value& structure, std::string_view name);
  friend Value& detail::appendMember(Value& structure, detail::ItemName name);
  friend void detail::finishMembers(Value& structure, detail::MemberOrderCache* orders,
                                    std::uint8_t expectedShape, bool shapeMatched);
  friend const Value* detail::findMember(const Value& structure, std::string_view name, const Value* passed);
  friend std::size_t detail::liveStoreBlocks(const Value& value);
  friend ValueStore* detail::storeOf(Value& root);
  friend void detail::makeCollectionOf(Value& empty, Value* items, std::size_t count);
  friend void detail::makeStructureOf(Value& empty, Value* items, const detail::ItemName* names, std::size_t count,
                                      detail::MemberOrderCache* orders);

  ValueStore* ensureStore();
  // Whether the content lives in the store (string and beyond): scalars are
  // released by overwriting them.
  bool holdsStorage() const { return kind_ >= ValueKind::String; }
  void release();
  void setStringSlowly(std::string_view text);
  void releaseBlobs() noexcept;
  void copyFrom(const Value& other);
  // copyFrom for a source that is neither this value's old content nor
  // holds this value: every part of a copy goes into a new, empty place.
  void copyContent(const Value& other);
  void moveFrom(Value& other);
  bool inSameTreeAs(const Value& other) const;
  // Whether `inner` is one of this value's elements or members, at any depth.
  bool encloses(const Value& inner) const;

  // Header of a collection: the element array lives in the store (pools for
  // small arrays, cut pages and the heap beyond). Values hold no pointers
  // into themselves, so the array is relocated bytewise when it grows.
  struct CollectionHeader {
    Value* elements;
    std::uint32_t size;
    std::uint32_t capacity;
  };
  struct StructureHeader;
  Value& appendElementSlow();
  // The body of both detail::appendMember: a member that fits the room of a
  // structure being built is placed inline, anything else (growth, a
  // structure already in order, another kind) out of line.
  static Value& appendInternedMember(Value& structure, detail::ItemName name);
  static Value& appendInternedMemberSlowly(Value& structure, detail::ItemName name);
  const detail::Member* findMember(std::string_view name) const;
  void mergeMemberRuns(std::size_t capacity);
  void freeMemberArray(StructureHeader* header) noexcept;
  Value& writeMemberReplacing(std::string_view name);
  void dropMember(detail::Member& member) noexcept;
  CollectionHeader* collection() const;
  StructureHeader* structure() const;

  union Payload {
    bool boolean;
    std::int64_t signedValue;
    std::uint64_t unsignedValue;
    double floatValue;
    InternedString* string;
    std::vector<std::uint8_t>* blob;
    EnumValue* enumValue;
    void* container;
  };

  alignas(8) Payload payload_;
  ValueStore* store_ = nullptr;
  ValueKind kind_ = ValueKind::Empty;
  std::uint8_t ownsStore_ = 1;
};

static_assert(sizeof(void*) == 4, "the runtime is 32-bit only");
static_assert(sizeof(Value) == 16);

namespace detail {

// One member of a structure: its name, an interned string of the tree's
// store, and its value, a block of the store that stays in place while other
// members come and go. A structure keeps its members in one array of two
// runs, each ordered by name; iteration merges them.
struct Member {
  std::uint32_t key;  // nameKey of the name
  InternedString* name;
  Value* value;

  // The order of member names.
  friend bool operator<(const Member& a, const Member& b) {
    return a.key != b.key ? a.key < b.key : compareNames(a.name->view(), b.name->view()) < 0;
  }
};
static_assert(sizeof(Member) == 12);

inline Value* placeItem(void* place, ValueStore* store) { return new (place) Value(Value::ChildTag{}, store); }

}  // namespace detail

// Header of a structure: one member array of two runs, each ordered by name
// and with no name in both. Members usually go straight into the first run;
// one that would move many members there goes into the second, which is
// merged into the first once it grows past the square root of the first's
// length, so building a structure in any order costs at most about
// n * sqrt(n) moves, and lookups are two binary searches.
//
// A structure made in one step (detail::makeStructureOf) keeps its members'
// values in one block, `values`, right after the header and followed by its
// member array; members added later have value blocks of their own, and a
// member array that outgrows its place moves out, leaving the values where
// they are.
struct Value::StructureHeader {
  detail::Member* members;
  std::uint32_t size;
  std::uint32_t capacity;
  std::uint32_t firstRun;  // members [0, firstRun) form the first run
  Value* values;            // the block of values made in one step, or null
  std::uint32_t valueCount;  // the values that block has room for
};

[[gnu::always_inline]] inline Value& Value::appendInternedMember(Value& structure, detail::ItemName name) {
  if (structure.kind_ == ValueKind::Structure) [[likely]] {
    auto* header = static_cast<StructureHeader*>(structure.payload_.container);
    if (header->firstRun == 0 && header->size < header->capacity) [[likely]] {
      // A structure made with room takes its values from its block of
      // values, in the order its members arrive.
      void* block;
      if (header->size < header->valueCount) {
        block = &header->values[header->size];
      } else {
        try {
          block = structure.store_->allocateBlock(sizeof(Value));
        } catch (...) {
          structure.store_->release(name.name);
          throw;
        }
      }
      Value* value = detail::placeItem(block, structure.store_);
      header->members[header->size++] = detail::Member{name.key, name.name, value};
      return *value;
    }
  }
  return appendInternedMemberSlowly(structure, name);
}

[[gnu::always_inline]] inline Value& detail::appendMember(Value& structure, ItemName name) {
  return Value::appendInternedMember(structure, name);
}

class Value::MemberIterator {
 public:
  using difference_type = std::ptrdiff_t;
  using value_type = MemberView;
  MemberIterator() = default;
  MemberView operator*() const {
    const detail::Member& member = current();
    return {member.name->view(), *member.value};
  }
  MemberIterator& operator++() {
    if (takesFirst()) ++first_;
    else ++second_;
    return *this;
  }
  MemberIterator operator++(int) {
    MemberIterator before = *this;
    ++*this;
    return before;
  }
  friend bool operator==(const MemberIterator& a, const MemberIterator& b) {
    return a.first_ == b.first_ && a.second_ == b.second_;
  }

 private:
  friend class Value;
  const detail::Member& current() const { return takesFirst() ? *first_ : *second_; }
  MemberIterator(const detail::Member* first, const detail::Member* firstEnd, const detail::Member* second,
                 const detail::Member* secondEnd)
      : first_(first), firstEnd_(firstEnd), second_(second), secondEnd_(secondEnd) {}
  bool takesFirst() const {
    return second_ == secondEnd_ ||
           (first_ != firstEnd_ && *first_ < *second_);
  }
  const detail::Member* first_ = nullptr;
  const detail::Member* firstEnd_ = nullptr;
  const detail::Member* second_ = nullptr;
  const detail::Member* secondEnd_ = nullptr;
};

class Value::MemberRange {
 public:
  MemberIterator begin() const { return first_; }
  MemberIterator end() const { return last_; }
  bool empty() const { return first_ == last_; }

 private:
  friend class Value;
  MemberRange(MemberIterator first, MemberIterator last) : first_(first), last_(last) {}
  MemberIterator first_;
  MemberIterator last_;
};

// A value with a success flag. On failure the value is a structure whose
// member "error" holds the message.
class ValueResult {
 public:
  ValueResult() = default;
  ValueResult(Value&& value) { value_ = std::move(value); }
  ValueResult(ValueResult&& other) noexcept;
  ValueResult& operator=(ValueResult&& other) noexcept;
  ValueResult(const ValueResult&) = delete;
  ValueResult& operator=(const ValueResult&) = delete;

  static ValueResult failure(std::string_view message) {
    ValueResult result;
    result.fail(message);
    return result;
  }

  // Clears the value and records the message as the failure.
  void fail(std::string_view message);

  bool ok() const { return success_; }
  explicit operator bool() const { return success_; }
  // The empty text on success; otherwise the "error" member when it is a string.
  std::string_view error() const;

  Value& value() { return value_; }
  const Value& value() const { return value_; }

 private:
  Value value_;
  bool success_ = true;
};

}  // namespace Quor
