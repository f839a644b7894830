#include "binding/value.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "binding/member_order_cache.h"
#include "binding/value_store.h"

namespace Quor {

namespace {

// A container made with room for a few items (detail::make...WithRoom)
// keeps them in its header's block, right after the header; they are freed
// with the header, never on their own.
template <class Header>
constexpr std::size_t itemsInHeaderOffset = (sizeof(Header) + 7) / 8 * 8;

template <class Header>
void* itemsInHeader(Header* header) {
  return reinterpret_cast<unsigned char*>(header) + itemsInHeaderOffset<Header>;
}

// The block of a structure made in one step: its values, then its member
// array, 8-byte aligned.
std::size_t valueBlockBytes(std::size_t count) {
  return (count * (sizeof(Value) + sizeof(detail::Member)) + 7) / 8 * 8;
}

// Whether a member's value lies in its structure's block of values.
template <class Header>
bool inValueBlock(const Header* header, const Value* value) {
  return reinterpret_cast<std::uintptr_t>(value) - reinterpret_cast<std::uintptr_t>(header->values) <
         std::uintptr_t{header->valueCount} * sizeof(Value);
}

// An empty structure with room for count members and their values in one
// block of values.
template <class Header>
Header* structureWithValueBlock(ValueStore* store, std::size_t count) {
  if (count > Value::maxReserve) throw std::length_error("Value: too many members");
  // The header and its block of values are one allocation.
  static_assert(sizeof(Header) % alignof(Value) == 0, "values follow the header");
  auto* header = static_cast<Header*>(store->allocate(sizeof(Header) + valueBlockBytes(count)));
  auto* values = reinterpret_cast<Value*>(header + 1);
  const auto room = static_cast<std::uint32_t>(count);
  return new (header) Header{reinterpret_cast<detail::Member*>(values + count), 0, room, 0, values, room};
}

// Whether a container's items are the ones its header's block holds: at
// that offset and inside the block. The address alone does not tell, as an
// item array of its own may start right where a header's block ends.
template <class Header>
bool itemsInHeaderBlock(const ValueStore* store, Header* header, const void* items) noexcept {
  return items == itemsInHeader(header) && store->blockHolds(header, items);
}

// Frees a container's item array unless it lives in the header's block.
template <class Header>
void freeItems(ValueStore* store, Header* header, void* items, std::size_t bytes) noexcept {
  if (!itemsInHeaderBlock(store, header, items)) store->free(items, bytes);
}

// Members moved at most to insert one into the first run.
constexpr std::size_t directInsertMoves = 64;
// The second run's length that is always allowed before it is merged.
constexpr std::size_t smallSecondRun = 32;

// A name searched for, with its key.
struct SearchedName {
  std::string_view text;
  std::uint32_t key;
};

// The order of a member's name and a searched one: <0, 0 or >0.
int compareMember(const detail::Member& member, const SearchedName& name) {
  if (member.key != name.key) return member.key < name.key ? -1 : 1;
  return compareNames(member.name->view(), name.text);
}

const detail::Member* lowerBound(const detail::Member* first, const detail::Member* last, const SearchedName& name) {
  std::size_t count = static_cast<std::size_t>(last - first);
  while (count > 0) {
    const std::size_t half = count / 2;
    if (compareMember(first[half], name) < 0) {
      first += half + 1;
      count -= half + 1;
    } else {
      count = half;
    }
  }
  return first;
}

}  // namespace

// Blob headers and enum records come from the store's block pools.
static_assert(sizeof(std::vector<std::uint8_t>) <= ValueStore::largestBlock);
static_assert(sizeof(EnumValue) <= ValueStore::largestBlock);

namespace {

const Value& sharedEmptyValue() {
  static const Value empty;
  return empty;
}

const EnumValue sharedZeroEnum{};

}  // namespace

// ---- Construction and destruction ---------------------------------------------

Value::Value() { payload_.unsignedValue = 0; }


Value::~Value() {
  if (ownsStore_ && store_ != nullptr) {
    // A whole tree goes at once: its blocks, pooled or on the heap, leave
    // with the store, so only blobs' bytes are freed node by node.
    if (!ValueStore::releasesBlocksInBulk()) release();
    else if (store_->blobCount() != 0) releaseBlobs();
    ValueStore::destroy(store_);
    return;
  }
  release();
}

Value::Value(const Value& other) : Value() { copyFrom(other); }

Value& Value::operator=(const Value& other) {
  copyFrom(other);
  return *this;
}

Value::Value(Value&& other) noexcept : Value() {
  if (other.ownsStore_) {
    swap(other);
    return;
  }
  // A member or element given up: its storage belongs to another tree.
  // Copying may throw only for want of memory, which ends the process here.
  copyFrom(other);
  other.setEmpty();
}

Value& Value::operator=(Value&& other) {
  moveFrom(other);
  return *this;
}

void Value::swap(Value& other) {
  if (this == &other) return;
  if (ownsStore_ && other.ownsStore_) {
    std::swap(payload_, other.payload_);
    std::swap(store_, other.store_);
    std::swap(kind_, other.kind_);
    return;
  }
  if (inSameTreeAs(other)) {
    // One inside the other: the outer value takes the inner one's content,
    // and the inner one goes with the outer one's old content.
    if (encloses(other)) {
      *this = Value(other);
      return;
    }
    if (other.encloses(*this)) {
      other = Value(*this);
      return;
    }
  }
  Value mine(*this);
  *this = other;
  other = mine;
}

bool Value::inSameTreeAs(const Value& other) const {
  return store_ != nullptr && store_ == other.store_;
}

bool Value::encloses(const Value& inner) const {
  if (kind_ != ValueKind::Collection && kind_ != ValueKind::Structure) return false;
  // Walked with a list of its own: trees built in code may nest deeper than
  // the stack allows.
  std::vector<const Value*> pending{this};
  while (!pending.empty()) {
    const Value* value = pending.back();
    pending.pop_back();
    if (const CollectionHeader* header = value->collection()) {
      if (&inner >= header->elements && &inner < header->elements + header->size) return true;
      for (std::uint32_t index = 0; index < header->size; ++index) {
        const Value& element = header->elements[index];
        if (element.kind_ == ValueKind::Collection || element.kind_ == ValueKind::Structure) pending.push_back(&element);
      }
    } else if (const StructureHeader* header = value->structure()) {
      for (std::uint32_t index = 0; index < header->size; ++index) {
        const Value& member = *header->members[index].value;
        if (&member == &inner) return true;
        if (member.kind_ == ValueKind::Collection || member.kind_ == ValueKind::Structure) pending.push_back(&member);
      }
    }
  }
  return false;
}

ValueStore* Value::ensureStore() {
  if (store_ == nullptr) store_ = ValueStore::create();
  return store_;
}

Value::CollectionHeader* Value::collection() const {
  return kind_ == ValueKind::Collection ? static_cast<CollectionHeader*>(payload_.container) : nullptr;
}

Value::StructureHeader* Value::structure() const {
  return kind_ == ValueKind::Structure ? static_cast<StructureHeader*>(payload_.container) : nullptr;
}

// ---- Release, copy, move ------------------------------------------------------------

void Value::release() {
  switch (kind_) {
    case ValueKind::String:
      if (payload_.string != ValueStore::emptyString()) store_->release(payload_.string);
      break;
    case ValueKind::Blob:
      std::destroy_at(payload_.blob);
      store_->freeBlock(payload_.blob);
      store_->blobRemoved();
      break;
    case ValueKind::Enum:
      store_->freeBlock(payload_.enumValue);
      break;
    case ValueKind::Collection: {
      CollectionHeader* header = collection();
      for (std::uint32_t index = 0; index < header->size; ++index) std::destroy_at(&header->elements[index]);
      freeItems(store_, header, header->elements, header->capacity * sizeof(Value));
      store_->freeBlock(header);
      break;
    }
    case ValueKind::Structure: {
      StructureHeader* header = structure();
      for (std::uint32_t index = 0; index < header->size; ++index) {
        Value* value = header->members[index].value;
        std::destroy_at(value);
        if (!inValueBlock(header, value)) store_->freeBlock(value);
        store_->release(header->members[index].name);
      }
      freeMemberArray(header);
      if (header->values != nullptr) store_->free(header, sizeof(StructureHeader) + valueBlockBytes(header->valueCount));
      else store_->freeBlock(header);
      break;
    }
    default:
      break;
  }
  kind_ = ValueKind::Empty;
  payload_.unsignedValue = 0;
}

void Value::releaseBlobs() noexcept {
  switch (kind_) {
    case ValueKind::Blob:
      std::destroy_at(payload_.blob);
      break;
    case ValueKind::Collection: {
      CollectionHeader* header = collection();
      for (std::uint32_t index = 0; index < header->size; ++index) header->elements[index].releaseBlobs();
      break;
    }
    case ValueKind::Structure: {
      StructureHeader* header = structure();
      for (std::uint32_t index = 0; index < header->size; ++index) header->members[index].value->releaseBlobs();
      break;
    }
    default:
      break;
  }
  kind_ = ValueKind::Empty;
}

void Value::copyFrom(const Value& other) {
  if (this == &other) return;
  // Within one tree the source may live inside this value's old content,
  // which clearing would destroy, or this value inside the source, which
  // the copy would change under its own walk: copy the source out first,
  // unless this value is empty and outside it.
  if (inSameTreeAs(other) && (kind_ == ValueKind::Collection || kind_ == ValueKind::Structure ||
                              other.kind_ == ValueKind::Collection || other.kind_ == ValueKind::Structure)) {
    if (kind_ != ValueKind::Empty || other.encloses(*this)) {
      const Value detached(other);
      copyContent(detached);
      return;
    }
  }
  copyContent(other);
}

void Value::copyContent(const Value& other) {
  switch (other.kind_) {
    case ValueKind::Empty:
      setEmpty();
      break;
    case ValueKind::Bool:
    case ValueKind::Signed:
    case ValueKind::Unsigned:
    case ValueKind::Float:
      release();
      payload_ = other.payload_;
      kind_ = other.kind_;
      break;
    case ValueKind::String: {
      InternedString* source = other.payload_.string;
      InternedString* entry;
      if (source == ValueStore::emptyString()) {
        entry = source;
      } else if (store_ == other.store_) {
        store_->retain(source);
        entry = source;
      } else {
        entry = ensureStore()->internCopy(source);
      }
      release();
      payload_.string = entry;
      kind_ = ValueKind::String;
      break;
    }
    case ValueKind::Blob: {
      const auto bytes = other.getBlob();
      setBlob(bytes.data(), bytes.size());
      break;
    }
    case ValueKind::Enum:
      setEnum(*other.payload_.enumValue);
      break;
    case ValueKind::Collection: {
      setEmpty();
      makeCollection();
      const CollectionHeader* source = other.collection();
      reserve(source->size);
      for (std::uint32_t index = 0; index < source->size; ++index) {
        writeElement(index).copyContent(source->elements[index]);
      }
      break;
    }
    case ValueKind::Structure: {
      setEmpty();
      const StructureHeader* source = other.structure();
      if (source->size == 0) {
        makeStructure();
        break;
      }
      // The copy is made in one step, its members taken in name order: no
      // name is searched for or inserted.
      ValueStore* store = ensureStore();
      auto* header = structureWithValueBlock<StructureHeader>(store, source->size);
      payload_.container = header;
      kind_ = ValueKind::Structure;
      // One frame per level of the tree, as small as the walk allows: trees
      // nest as deep as the readers let them.
      for (MemberIterator member = other.members().begin(); header->size != source->size; ++member) {
        const detail::Member& from = member.current();
        // A name of another store keeps the hash it was interned with.
        InternedString* name = from.name;
        if (store == other.store_) store->retain(name);
        else name = store->intern(name->view(), name->hash);
        Value* value = detail::placeItem(&header->values[header->size], store);
        header->members[header->size++] = detail::Member{from.key, name, value};
        header->firstRun = header->size;
        value->copyContent(*from.value);
      }
      break;
    }
  }
}

void Value::moveFrom(Value& other) {
  if (this == &other) return;
  if (ownsStore_ && other.ownsStore_) {
    swap(other);
    other.setEmpty();
    return;
  }
  if (inSameTreeAs(other) && encloses(other)) {
    // The source goes with this value's old content: it is copied out
    // first, and there is nothing left of it to clear afterwards.
    Value detached(other);
    if (ownsStore_) swap(detached);
    else copyFrom(detached);
    return;
  }
  copyFrom(other);
  other.setEmpty();
}

// ---- Reading --------------------------------------------------------------------------

bool Value::getBool(bool defaultValue) const {
  return kind_ == ValueKind::Bool ? payload_.boolean : defaultValue;
}

std::int64_t Value::getSigned(std::int64_t defaultValue) const {
  return kind_ == ValueKind::Signed ? payload_.signedValue : defaultValue;
}

std::uint64_t Value::getUnsigned(std::uint64_t defaultValue) const {
  return kind_ == ValueKind::Unsigned ? payload_.unsignedValue : defaultValue;
}

double Value::getFloat(double defaultValue) const {
  return kind_ == ValueKind::Float ? payload_.floatValue : defaultValue;
}

std::uint64_t Value::toUnsigned(std::uint64_t defaultValue) const {
  switch (kind_) {
    case ValueKind::Bool:
      return payload_.boolean ? 1 : 0;
    case ValueKind::Signed:
    case ValueKind::Unsigned:
      return payload_.unsignedValue;
    case ValueKind::Float: {
      // Truncation toward zero; values the target cannot hold saturate rather
      // than being undefined.
      const double number = payload_.floatValue;
      if (!(number == number)) return 0;
      if (number <= -9223372036854775808.0) return static_cast<std::uint64_t>(INT64_MIN);
      if (number < 0) return static_cast<std::uint64_t>(static_cast<std::int64_t>(number));
      if (number >= 18446744073709551616.0) return UINT64_MAX;
      return static_cast<std::uint64_t>(number);
    }
    case ValueKind::String:
      return std::strtoull(payload_.string->text(), nullptr, 0);
    case ValueKind::Enum:
      return static_cast<std::uint64_t>(static_cast<std::int64_t>(payload_.enumValue->number));
    default:
      return defaultValue;
  }
}

std::string_view Value::getString(std::string_view defaultValue) const {
  return kind_ == ValueKind::String ? payload_.string->view() : defaultValue;
}

const char* Value::getCString(const char* defaultValue) const {
  return kind_ == ValueKind::String ? payload_.string->text() : defaultValue;
}

std::span<const std::uint8_t> Value::getBlob(std::span<const std::uint8_t> defaultValue) const {
  return kind_ == ValueKind::Blob ? std::span<const std::uint8_t>(*payload_.blob) : defaultValue;
}

const EnumValue& Value::getEnum() const {
  return kind_ == ValueKind::Enum ? *payload_.enumValue : sharedZeroEnum;
}

std::size_t Value::size() const {
  switch (kind_) {
    case ValueKind::Empty:
      return 0;
    case ValueKind::String:
      return payload_.string->length;
    case ValueKind::Blob:
      return payload_.blob->size();
    case ValueKind::Collection:
      return collection()->size;
    case ValueKind::Structure:
      return structure()->size;
    default:
      return 1;
  }
}

const Value& Value::element(std::size_t index) const {
  const CollectionHeader* header = collection();
  return header != nullptr && index < header->size ? header->elements[index] : sharedEmptyValue();
}

const detail::Member* Value::findMember(std::string_view text) const {
  const StructureHeader* header = structure();
  if (header == nullptr) return nullptr;
  const SearchedName name{text, nameKey(text)};
  const detail::Member* members = header->members;
  const detail::Member* firstEnd = members + header->firstRun;
  const detail::Member* found = lowerBound(members, firstEnd, name);
  if (found != firstEnd && compareMember(*found, name) == 0) return found;
  const detail::Member* secondEnd = members + header->size;
  found = lowerBound(firstEnd, secondEnd, name);
  if (found != secondEnd && compareMember(*found, name) == 0) return found;
  return nullptr;
}

const Value& Value::member(std::string_view name) const {
  const detail::Member* found = findMember(name);
  return found != nullptr ? *found->value : sharedEmptyValue();
}

bool Value::hasMember(std::string_view name) const { return findMember(name) != nullptr; }

std::span<const Value> Value::elements() const {
  const CollectionHeader* header = collection();
  return header != nullptr ? std::span<const Value>(header->elements, header->size) : std::span<const Value>();
}

std::span<Value> Value::elements() {
  CollectionHeader* header = collection();
  return header != nullptr ? std::span<Value>(header->elements, header->size) : std::span<Value>();
}

Value::MemberRange Value::members() const {
  const StructureHeader* header = structure();
  if (header == nullptr) return MemberRange(MemberIterator(), MemberIterator());
  const detail::Member* firstEnd = header->members + header->firstRun;
  const detail::Member* secondEnd = header->members + header->size;
  return MemberRange(MemberIterator(header->members, firstEnd, firstEnd, secondEnd),
                     MemberIterator(firstEnd, firstEnd, secondEnd, secondEnd));
}

// ---- Writing ---------------------------------------------------------------------------

void Value::setString(const char* text) { setString(std::string_view(text != nullptr ? text : "")); }

void Value::setStringSlowly(std::string_view text) {
  // Interned before the old content goes, in case the text is that content.
  InternedString* entry = text.empty() ? ValueStore::emptyString() : ensureStore()->internText(text);
  if (holdsStorage()) release();
  payload_.string = entry;
  kind_ = ValueKind::String;
}

void Value::setBlob(std::vector<std::uint8_t>&& bytes) {
  std::vector<std::uint8_t> taken(std::move(bytes));
  if (holdsStorage()) release();
  void* block = ensureStore()->allocateBlock(sizeof(std::vector<std::uint8_t>));
  payload_.blob = new (block) std::vector<std::uint8_t>(std::move(taken));
  kind_ = ValueKind::Blob;
  store_->blobAdded();
}

void Value::setBlob(const void* bytes, std::size_t length) {
  const auto* first = static_cast<const std::uint8_t*>(bytes);
  setBlob(std::vector<std::uint8_t>(first, first + (first != nullptr ? length : 0)));
}

void Value::setEnum(const EnumValue& value) {
  const EnumValue copy = value;
  if (holdsStorage()) release();
  void* block = ensureStore()->allocateBlock(sizeof(EnumValue));
  payload_.enumValue = new (block) EnumValue(copy);
  kind_ = ValueKind::Enum;
}

void Value::makeCollection() {
  static_assert(sizeof(CollectionHeader) <= ValueStore::largestBlock);
  if (kind_ == ValueKind::Collection) return;
  if (holdsStorage()) release();
  void* block = ensureStore()->allocateBlock(sizeof(CollectionHeader));
  payload_.container = new (block) CollectionHeader{nullptr, 0, 0};
  kind_ = ValueKind::Collection;
}

void Value::makeStructure() {
  static_assert(sizeof(StructureHeader) <= ValueStore::largestBlock);
  if (kind_ == ValueKind::Structure) return;
  if (holdsStorage()) release();
  void* block = ensureStore()->allocateBlock(sizeof(StructureHeader));
  payload_.container = new (block) StructureHeader{nullptr, 0, 0, 0, nullptr, 0};
  kind_ = ValueKind::Structure;
}

void Value::reserve(std::size_t count) {
  CollectionHeader* header = collection();
  if (header == nullptr) return;
  if (count > maxReserve) throw std::length_error("Value::reserve: too many elements");
  if (count <= header->capacity) return;
  auto* grown = static_cast<Value*>(store_->allocate(count * sizeof(Value)));
  if (header->size != 0) std::memcpy(static_cast<void*>(grown), header->elements, header->size * sizeof(Value));
  freeItems(store_, header, header->elements, header->capacity * sizeof(Value));
  header->elements = grown;
  header->capacity = static_cast<std::uint32_t>(count);
}

Value& Value::writeElement(std::size_t index) {
  makeCollection();
  CollectionHeader* header = collection();
  if (index < header->size) return header->elements[index];
  if (index >= maxReserve) throw std::length_error("Value::writeElement: index too large");
  if (index >= header->capacity) {
    std::size_t grown = header->capacity < 4 ? 4 : std::size_t{header->capacity} * 2;
    if (grown <= index) grown = index + 1;
    if (grown > maxReserve) grown = maxReserve;
    reserve(grown);
  }
  while (header->size <= index) {
    new (&header->elements[header->size]) Value(ChildTag{}, store_);
    ++header->size;
  }
  return header->elements[index];
}

Value& Value::appendElementSlow() {
  return writeElement(kind_ == ValueKind::Collection ? collection()->size : 0);
}

// The name may be text of the content about to be released (its own
// string, an element's): it is interned first and held until it is in.
// Kept out of writeMember, whose every call readers pay for.
[[gnu::noinline, gnu::cold]] Value& Value::writeMemberReplacing(std::string_view text) {
  struct HeldName {
    ValueStore* store;
    InternedString* entry;
    ~HeldName() { store->release(entry); }
  } const name{store_, store_->intern(text)};
  makeStructure();
  return writeMember(name.entry->view());
}

Value& Value::writeMember(std::string_view text) {
  if (kind_ != ValueKind::Structure) [[unlikely]] {
    if (holdsStorage()) return writeMemberReplacing(text);
    makeStructure();
  }
  const SearchedName name{text, nameKey(text)};
  StructureHeader* header = structure();
  detail::Member* members = header->members;
  detail::Member* firstEnd = members + header->firstRun;
  auto* inFirst = const_cast<detail::Member*>(lowerBound(members, firstEnd, name));
  if (inFirst != firstEnd && compareMember(*inFirst, name) == 0) return *inFirst->value;
  detail::Member* secondEnd = members + header->size;
  auto* inSecond = const_cast<detail::Member*>(lowerBound(firstEnd, secondEnd, name));
  if (inSecond != secondEnd && compareMember(*inSecond, name) == 0) return *inSecond->value;

  static_assert(sizeof(Value) <= ValueStore::largestBlock);
  InternedString* entry = store_->internName(text);
  void* block = nullptr;
  try {
    block = store_->allocateBlock(sizeof(Value));
    if (header->size == header->capacity) {
      if (header->capacity > maxReserve / 2) throw std::length_error("Value::writeMember: too many members");
      mergeMemberRuns(header->capacity == 0 ? 4 : std::size_t{header->capacity} * 2);
    }
  } catch (...) {
    store_->freeBlock(block);
    store_->release(entry);
    throw;
  }
  if (members != header->members) {
    // One run now: the new member goes into it.
    members = header->members;
    firstEnd = members + header->firstRun;
    inFirst = const_cast<detail::Member*>(lowerBound(members, firstEnd, name));
  }
  const bool intoFirstRun = static_cast<std::size_t>(firstEnd - inFirst) <= directInsertMoves;
  detail::Member* position =
      intoFirstRun ? inFirst : const_cast<detail::Member*>(lowerBound(firstEnd, members + header->size, name));
  // Most structures are small: a call of memmove would cost more than the
  // few members it moves.
  const auto moving = static_cast<std::size_t>(members + header->size - position);
  if (moving <= 8) {
    for (std::size_t index = moving; index > 0; --index) position[index] = position[index - 1];
  } else {
    std::memmove(static_cast<void*>(position + 1), position, moving * sizeof(detail::Member));
  }
  position->key = name.key;
  position->name = entry;
  Value* value = new (block) Value(ChildTag{}, store_);
  position->value = value;
  ++header->size;
  if (intoFirstRun) ++header->firstRun;
  const std::size_t secondRun = header->size - header->firstRun;
  if (secondRun > smallSecondRun && secondRun * secondRun > header->firstRun) mergeMemberRuns(header->capacity);
  return *value;
}

void detail::reserveMembers(Value& structure, std::size_t count) {
  Value::StructureHeader* header = structure.structure();
  if (header == nullptr || count <= header->capacity) return;
  if (count > Value::maxReserve) throw std::length_error("Value: too many members");
  if (header->capacity == 0) {
    header->members = static_cast<detail::Member*>(structure.store_->allocate(count * sizeof(detail::Member)));
    header->capacity = static_cast<std::uint32_t>(count);
    return;
  }
  structure.mergeMemberRuns(count);
}

namespace {

// A container header with room for count items (none, or those that fit)
// in its own block.
template <class Header, class Item>
Header* headerWithRoom(ValueStore* store, std::size_t count, Item* Header::*items) {
  constexpr std::size_t mostItems =
      std::is_same_v<Item, Value> ? detail::elementsInHeaderBlock : detail::membersInHeaderBlock;
  static_assert(itemsInHeaderOffset<Header> + mostItems * sizeof(Item) <= ValueStore::largestBlock);
  auto* header = new (store->allocateBlock(itemsInHeaderOffset<Header> + count * sizeof(Item))) Header{};
  header->capacity = static_cast<std::uint32_t>(count);
  if (count != 0) header->*items = static_cast<Item*>(itemsInHeader(header));
  return header;
}

// A container made with room whose items are not in its header's block (it
// outgrew it) or that has none moves its header into a block of the
// header's own size. Items that fill most of the block are left where they
// are: moving them costs more time than their few spare bytes are worth.
template <class Header, class Item>
void releaseHeaderRoom(ValueStore* store, void*& container, Item* Header::*items) {
  auto* header = static_cast<Header*>(container);
  // Items at the block's offset that are an array of their own (right after
  // a block without room) keep the header where it is too, which costs a
  // few bytes at most; only a move must know where they really are.
  if (header->size != 0 && header->*items == itemsInHeader(header)) return;
  const std::size_t blockSize = store->blockSizeOf(header);
  if (blockSize == 0 || blockSize <= (sizeof(Header) + 3) / 4 * 4) return;
  const bool itemsInBlock = itemsInHeaderBlock(store, header, header->*items);
  auto* moved = new (store->allocateBlock(sizeof(Header))) Header(*header);
  if (itemsInBlock) {
    moved->*items = nullptr;
    moved->capacity = 0;
  }
  store->freeBlock(header);
  container = moved;
}

}  // namespace

void detail::makeCollectionWithRoom(Value& empty, std::size_t count) {
  if (!empty.isEmpty()) empty.setEmpty();
  if (count > elementsInHeaderBlock) {
    empty.makeCollection();
    empty.reserve(count);
    return;
  }
  empty.payload_.container = headerWithRoom(empty.ensureStore(), count, &Value::CollectionHeader::elements);
  empty.kind_ = ValueKind::Collection;
}

void detail::makeStructureWithRoom(Value& empty, std::size_t count) {
  if (!empty.isEmpty()) empty.setEmpty();
  ValueStore* store = empty.ensureStore();
  // A few members fit the header's block, their values in blocks of their
  // own; more take their values from one block.
  empty.payload_.container = count <= membersInHeaderBlock
                                 ? headerWithRoom(store, count, &Value::StructureHeader::members)
                                 : structureWithValueBlock<Value::StructureHeader>(store, count);
  empty.kind_ = ValueKind::Structure;
}

void detail::releaseUnusedRoom(Value& container) {
  if (container.kind_ == ValueKind::Collection) {
    releaseHeaderRoom(container.store_, container.payload_.container, &Value::CollectionHeader::elements);
  } else if (container.kind_ == ValueKind::Structure) {
    releaseHeaderRoom(container.store_, container.payload_.container, &Value::StructureHeader::members);
  }
}

Value& Value::appendInternedMemberSlowly(Value& structure, detail::ItemName name) {
  if (structure.kind_ != ValueKind::Structure || structure.structure()->firstRun != 0) [[unlikely]] {
    // The name's reference keeps its text alive while writeMember releases
    // content that may hold it.
    Value& value = structure.writeMember(name.name->view());
    structure.store_->release(name.name);
    return value;
  }
  // A structure being built whose member array is full: it grows, and the
  // member then goes in as any other.
  StructureHeader* header = structure.structure();
  try {
    if (header->capacity > maxReserve / 2) throw std::length_error("Value: too many members");
    structure.mergeMemberRuns(header->capacity == 0 ? 4 : std::size_t{header->capacity} * 2);
    header->firstRun = 0;  // nothing is in order yet
  } catch (...) {
    structure.store_->release(name.name);
    throw;
  }
  return appendInternedMember(structure, name);
}

Value& detail::appendMember(Value& structure, std::string_view name) {
  // Anything else (readers hand structures) becomes one through
  // writeMember, which takes the name before releasing content that may
  // hold it.
  if (structure.kind_ != ValueKind::Structure) [[unlikely]] return structure.writeMember(name);
  // Only a structure made of appended members is put in order at the end.
  if (structure.structure()->firstRun != 0) return structure.writeMember(name);
  return Value::appendInternedMember(structure, internItemName(structure.store_, name));
}

namespace {

// Whether the cache may hold the shape of a structure of count members:
// smaller ones sort faster than they are looked up, so no call is spent on
// them.
bool cachesShape(const detail::MemberOrderCache* orders, std::size_t count) {
  return orders != nullptr && count >= detail::MemberOrderCache::minimumMembers;
}

// Stable sort of members by name: insertion sort of short stretches, then
// merges through a buffer of the same length.
void sortMembers(detail::Member* members, std::size_t count, detail::Member* buffer) {
  constexpr std::size_t stretch = 16;
  for (std::size_t start = 0; start < count; start += stretch) {
    const std::size_t end = start + stretch < count ? start + stretch : count;
    for (std::size_t index = start + 1; index < end; ++index) {
      const detail::Member moving = members[index];
      std::size_t hole = index;
      while (hole > start && moving < members[hole - 1]) {
        members[hole] = members[hole - 1];
        --hole;
      }
      members[hole] = moving;
    }
  }
  detail::Member* from = members;
  detail::Member* to = buffer;
  for (std::size_t width = stretch; width < count; width *= 2) {
    for (std::size_t start = 0; start < count; start += 2 * width) {
      const std::size_t middle = start + width < count ? start + width : count;
      const std::size_t end = start + 2 * width < count ? start + 2 * width : count;
      std::size_t left = start;
      std::size_t right = middle;
      std::size_t out = start;
      while (left < middle && right < end) to[out++] = from[right] < from[left] ? from[right++] : from[left++];
      while (left < middle) to[out++] = from[left++];
      while (right < end) to[out++] = from[right++];
    }
    std::swap(from, to);
  }
  if (from != members) std::memcpy(static_cast<void*>(members), from, count * sizeof(detail::Member));
}

}  // namespace

void detail::finishMembers(Value& structure, MemberOrderCache* orders, std::uint8_t expectedShape,
                           bool shapeMatched) {
  Value::StructureHeader* header = structure.structure();
  if (header == nullptr || header->firstRun == header->size) return;
  detail::Member* members = header->members;
  const std::size_t count = header->size;
  if (count == 1) {
    header->firstRun = 1;
    return;
  }
  if (count == 2) {
    // The commonest small case, without the general sort.
    if (members[0].name == members[1].name) {
      structure.dropMember(members[0]);
      members[0] = members[1];
      header->size = 1;
    } else if (members[1] < members[0]) {
      std::swap(members[0], members[1]);
    }
    header->firstRun = header->size;
    return;
  }
  const bool cached = cachesShape(orders, count);
  if (cached && expectedShape != MemberOrderCache::noShape) {
    if (const std::uint16_t* order = orders->expectedOrder(expectedShape, members, count, shapeMatched)) {
      orders->arrange(members, count, order);
      header->firstRun = header->size;
      return;
    }
  }
  if (cached && orders->replay(members, count)) {
    header->firstRun = header->size;
    return;
  }
  if (count <= 16) {
    sortMembers(members, count, nullptr);
  } else {
    auto* buffer = static_cast<detail::Member*>(structure.store_->allocate(count * sizeof(detail::Member)));
    sortMembers(members, count, buffer);
    structure.store_->free(buffer, count * sizeof(detail::Member));
  }
  // A repeated name keeps the member that came last. Names of one store are
  // interned, so equal names are one entry.
  std::size_t kept = 0;
  for (std::size_t index = 0; index < count; ++index) {
    if (index + 1 < count && members[index].name == members[index + 1].name) {
      structure.dropMember(members[index]);
      continue;
    }
    members[kept++] = members[index];
  }
  header->size = static_cast<std::uint32_t>(kept);
  header->firstRun = header->size;
  if (cached && kept == count) orders->learn(members, count, structure.store_);
}

namespace {

// Moves values bytewise; most containers hold a few, for which a call of
// memcpy costs more than the copy.
void moveItems(Value* to, const Value* from, std::size_t count) {
  if (count > 4) {
    std::memcpy(static_cast<void*>(to), from, count * sizeof(Value));
    return;
  }
  struct Bytes {
    std::uint64_t words[2];
  };
  static_assert(sizeof(Bytes) == sizeof(Value));
  for (std::size_t index = 0; index < count; ++index) {
    Bytes bytes;
    std::memcpy(&bytes, &from[index], sizeof bytes);
    std::memcpy(static_cast<void*>(&to[index]), &bytes, sizeof bytes);
  }
}

}  // namespace

const Value* detail::findMember(const Value& structure, std::string_view name, const Value* passed) {
  const Value::StructureHeader* header = structure.structure();
  if (header == nullptr) return nullptr;
  // Members appended and not yet ordered are looked at one by one, the last
  // first.
  for (std::uint32_t index = header->size; index > header->firstRun; --index) {
    const Member& member = header->members[index - 1];
    if (member.value != passed && member.name->view() == name) return member.value;
  }
  const Member* found = structure.findMember(name);
  return found != nullptr ? found->value : nullptr;
}

ValueStore* detail::storeOf(Value& root) { return root.ensureStore(); }

void detail::releaseItemName(ValueStore* store, ItemName name) noexcept { store->release(name.name); }

void detail::makeCollectionOf(Value& empty, Value* items, std::size_t count) {
  ValueStore* store = empty.store_;
  Value::CollectionHeader* header;
  if (count - 1 < elementsInHeaderBlock) {
    // A few items share the header's block.
    header = static_cast<Value::CollectionHeader*>(
        store->allocateBlock(itemsInHeaderOffset<Value::CollectionHeader> + count * sizeof(Value)));
    header->elements = static_cast<Value*>(itemsInHeader(header));
  } else if (count == 0) {
    header = static_cast<Value::CollectionHeader*>(store->allocateBlock(sizeof(Value::CollectionHeader)));
    header->elements = nullptr;
  } else {
    if (count > Value::maxReserve) throw std::length_error("Value: too many elements");
    void* block = store->allocateBlock(sizeof(Value::CollectionHeader));
    try {
      header = new (block) Value::CollectionHeader{static_cast<Value*>(store->allocate(count * sizeof(Value))), 0, 0};
    } catch (...) {
      store->freeBlock(block);
      throw;
    }
  }
  moveItems(header->elements, items, count);
  header->size = header->capacity = static_cast<std::uint32_t>(count);
  empty.payload_.container = header;
  empty.kind_ = ValueKind::Collection;
}

void detail::makeStructureOf(Value& empty, Value* items, const ItemName* names, std::size_t count,
                             MemberOrderCache* orders) {
  ValueStore* store = empty.store_;
  if (count == 0) {
    empty.makeStructure();
    return;
  }
  auto* header = structureWithValueBlock<Value::StructureHeader>(store, count);
  Value* values = header->values;
  Member* members = header->members;
  // A repeated name keeps the item that came last; names of one store are
  // interned, so equal names are one entry.
  const auto dropItem = [store](const Member& member) {
    std::destroy_at(member.value);
    store->release(member.name);
  };
  // The members in name order, their values still the gathered items.
  std::size_t kept = count;
  const bool cached = cachesShape(orders, count);
  if (count <= 2) {
    // The commonest small cases, without the general sort.
    members[0] = Member{names[0].key, names[0].name, &items[0]};
    if (count == 2) {
      members[1] = Member{names[1].key, names[1].name, &items[1]};
      if (members[0].name == members[1].name) {
        dropItem(members[0]);
        members[0] = members[1];
        kept = 1;
      } else if (members[1] < members[0]) {
        std::swap(members[0], members[1]);
      }
    }
  } else if (const std::uint16_t* order = cached ? orders->find(names, count) : nullptr) {
    for (std::size_t index = 0; index < count; ++index) {
      const std::size_t from = order[index];
      members[index] = Member{names[from].key, names[from].name, &items[from]};
    }
  } else {
    for (std::size_t index = 0; index < count; ++index) members[index] = Member{names[index].key, names[index].name, &items[index]};
    // The values' place serves as the sort's buffer: it is not filled yet.
    sortMembers(members, count, reinterpret_cast<Member*>(values));
    kept = 0;
    for (std::size_t index = 0; index < count; ++index) {
      if (index + 1 < count && members[index].name == members[index + 1].name) {
        dropItem(members[index]);
        continue;
      }
      members[kept++] = members[index];
    }
    if (cached && kept == count) orders->learn(members, count, store);
  }
  for (std::size_t index = 0; index < kept; ++index) {
    moveItems(&values[index], members[index].value, 1);
    members[index].value = &values[index];
  }
  header->size = header->firstRun = static_cast<std::uint32_t>(kept);
  empty.payload_.container = header;
  empty.kind_ = ValueKind::Structure;
}

std::size_t detail::liveStoreBlocks(const Value& value) {
  return value.store_ != nullptr ? value.store_->liveBlocks() : 0;
}

void Value::dropMember(detail::Member& member) noexcept {
  std::destroy_at(member.value);
  if (!inValueBlock(structure(), member.value)) store_->freeBlock(member.value);
  store_->release(member.name);
}

// Moves both runs, merged, into a new array of the given capacity.
void Value::mergeMemberRuns(std::size_t capacity) {
  StructureHeader* header = structure();
  auto* merged = static_cast<detail::Member*>(store_->allocate(capacity * sizeof(detail::Member)));
  const detail::Member* first = header->members;
  const detail::Member* firstEnd = first + header->firstRun;
  const detail::Member* second = firstEnd;
  const detail::Member* secondEnd = first + header->size;
  detail::Member* out = merged;
  while (first != firstEnd && second != secondEnd) {
    const bool takeSecond = *second < *first;
    std::memcpy(static_cast<void*>(out++), takeSecond ? second++ : first++, sizeof(detail::Member));
  }
  const std::size_t restFirst = static_cast<std::size_t>(firstEnd - first);
  if (restFirst != 0) std::memcpy(static_cast<void*>(out), first, restFirst * sizeof(detail::Member));
  out += restFirst;
  const std::size_t restSecond = static_cast<std::size_t>(secondEnd - second);
  if (restSecond != 0) std::memcpy(static_cast<void*>(out), second, restSecond * sizeof(detail::Member));
  freeMemberArray(header);
  header->members = merged;
  header->capacity = static_cast<std::uint32_t>(capacity);
  header->firstRun = header->size;
}

// Frees a structure's member array unless it lives in the header's block or
// in the block of values made in one step, right after them.
void Value::freeMemberArray(StructureHeader* header) noexcept {
  if (header->values != nullptr && header->members == reinterpret_cast<detail::Member*>(header->values + header->valueCount)) {
    return;
  }
  freeItems(store_, header, header->members, header->capacity * sizeof(detail::Member));
}

// ---- ValueResult ---------------------------------------------------------------------

ValueResult::ValueResult(ValueResult&& other) noexcept : success_(other.success_) {
  value_ = std::move(other.value_);
}

ValueResult& ValueResult::operator=(ValueResult&& other) noexcept {
  success_ = other.success_;
  value_ = std::move(other.value_);
  return *this;
}

void ValueResult::fail(std::string_view message) {
  // The message may be text of the value about to be cleared.
  const std::string text(message);
  message = text;
  value_.setEmpty();
  success_ = false;
  value_.writeMember("error").setString(message);
}

std::string_view ValueResult::error() const {
  if (success_) return {};
  return value_.member("error").getString();
}

}  // namespace Quor
