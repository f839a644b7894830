#include "formats/msgpack_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "binding/format_message.h"
#include "binding/member_order_cache.h"
#include "binding/nesting_limit.h"
#include "binding/value_store.h"

namespace Quor {

namespace {

constexpr const char* invalidData = "Invalid MessagePack data at position %1.";
constexpr const char* keyNotString = "Invalid MessagePack data at position %1. Map keys must be strings.";
constexpr const char* nestedTooDeeply = "Invalid MessagePack data at position %1. The data is nested deeper than %2 levels.";
constexpr const char* truncated8 = "Invalid MessagePack data. 8-bit integer value at position %1 is truncated.";
constexpr const char* truncated16 = "Invalid MessagePack data. 16-bit integer value at position %1 is truncated.";
constexpr const char* truncated32 = "Invalid MessagePack data. 32-bit integer value at position %1 is truncated.";
constexpr const char* truncated64 = "Invalid MessagePack data. 64-bit integer value at position %1 is truncated.";
constexpr const char* truncatedString = "Invalid MessagePack data. String of size %1 at position %2 is truncated.";
constexpr const char* truncatedBytes = "Invalid MessagePack data. Raw bytes of size %1 at position %2 are truncated.";
constexpr const char* truncatedArray = "Invalid MessagePack data. Array of size %1 at position %2 is truncated.";
constexpr const char* truncatedMap = "Invalid MessagePack data. Map of size %1 at position %2 is truncated.";

enum class TypeClass : std::uint8_t {
  Fixint,
  FixMap,
  FixArray,
  FixStr,
  Nil,
  False,
  True,
  Bin8,
  Bin16,
  Bin32,
  Float32,
  Float64,
  Uint8,
  Uint16,
  Uint32,
  Uint64,
  Int8,
  Int16,
  Int32,
  Int64,
  Str8,
  Str16,
  Str32,
  Array16,
  Array32,
  Map16,
  Map32,
  // 0xC1 and the extension types.
  Invalid,
};

constexpr std::array<TypeClass, 256> typeClasses = [] {
  std::array<TypeClass, 256> table{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    TypeClass& entry = table[byte];
    if (byte <= 0x7F || byte >= 0xE0) {
      entry = TypeClass::Fixint;
    } else if (byte <= 0x8F) {
      entry = TypeClass::FixMap;
    } else if (byte <= 0x9F) {
      entry = TypeClass::FixArray;
    } else if (byte <= 0xBF) {
      entry = TypeClass::FixStr;
    } else {
      constexpr TypeClass fromC0[] = {
          TypeClass::Nil,     TypeClass::Invalid, TypeClass::False,   TypeClass::True,    // C0-C3
          TypeClass::Bin8,    TypeClass::Bin16,   TypeClass::Bin32,                       // C4-C6
          TypeClass::Invalid, TypeClass::Invalid, TypeClass::Invalid,                     // C7-C9 ext
          TypeClass::Float32, TypeClass::Float64,                                         // CA-CB
          TypeClass::Uint8,   TypeClass::Uint16,  TypeClass::Uint32,  TypeClass::Uint64,  // CC-CF
          TypeClass::Int8,    TypeClass::Int16,   TypeClass::Int32,   TypeClass::Int64,   // D0-D3
          TypeClass::Invalid, TypeClass::Invalid, TypeClass::Invalid, TypeClass::Invalid,
          TypeClass::Invalid,                                                             // D4-D8 fixext
          TypeClass::Str8,    TypeClass::Str16,   TypeClass::Str32,                       // D9-DB
          TypeClass::Array16, TypeClass::Array32, TypeClass::Map16,   TypeClass::Map32,   // DC-DF
      };
      entry = fromC0[byte - 0xC0];
    }
  }
  return table;
}();

// One open array or map.
struct OpenContainer {
  Value* container;
  // Items (array) or pairs (map) still to come.
  std::uint32_t remaining;
  std::uint32_t announced;
  std::size_t firstItem;
  bool isMap;
  // For a map: the slot of the shape of earlier maps its names have matched
  // so far, noShape, or firstNamePending until its first name has come.
  std::uint8_t expectedShape;
  // The cache's count of shapes learnt when that slot was found: while it
  // stays, the slot holds the shape the names were matched against.
  std::uint32_t shapesLearnt;
};
constexpr std::uint8_t firstNamePending = detail::MemberOrderCache::noShape - 1;

class MessagePackReader {
 public:
  MessagePackReader(const std::uint8_t* bytes, std::size_t length, ValueResult& result)
      : bytes_(bytes), length_(length), roomAllowance_(length), result_(result) {}

  // Reads one value into the result's value; false after a failure.
  bool read() {
    Value* target = &result_.value();
    for (;;) {
      if (!readValue(*target)) return false;
      while (openEnd_ != open_.data() && openEnd_[-1].remaining == 0) {
        const OpenContainer& closing = openEnd_[-1];
        if (closing.isMap) {
          detail::finishMembers(*closing.container, &memberOrders_, closing.expectedShape,
                                closing.shapesLearnt == memberOrders_.shapesLearnt());
        }
        --openEnd_;
      }
      if (openEnd_ == open_.data()) return true;

      OpenContainer& innermost = openEnd_[-1];
      if (position_ == length_) return failTruncatedContainer(innermost);
      --innermost.remaining;
      if (innermost.isMap) {
        std::string_view key;
        if (!readKey(key)) return false;
        if (position_ == length_) return failTruncatedContainer(innermost);
        target = &appendMember(innermost, key);
      } else {
        target = &innermost.container->appendElement();
      }
    }
  }

  std::size_t position() const { return position_; }

 private:
  std::size_t left() const { return length_ - position_; }

  template <class... Arguments>
  bool fail(const char* message, const Arguments&... arguments) {
    result_.fail(FormatMessage(message, arguments...));
    return false;
  }

  bool failTruncatedContainer(const OpenContainer& container) {
    position_ = container.firstItem;
    return fail(container.isMap ? truncatedMap : truncatedArray, std::uint64_t{container.announced},
                std::uint64_t{container.firstItem});
  }

  // A big-endian number of Size bytes; fails when the input ends before it.
  template <std::size_t Size>
  bool readNumber(std::uint64_t& number) {
    if (left() < Size) {
      constexpr const char* message = Size == 1 ? truncated8 : Size == 2 ? truncated16 : Size == 4 ? truncated32 : truncated64;
      return fail(message, std::uint64_t{position_});
    }
    const std::uint8_t* from = bytes_ + position_;
    if constexpr (Size == 1) {
      number = from[0];
    } else if constexpr (Size == 2) {
      std::uint16_t value;
      std::memcpy(&value, from, Size);
      number = __builtin_bswap16(value);
    } else if constexpr (Size == 4) {
      std::uint32_t value;
      std::memcpy(&value, from, Size);
      number = __builtin_bswap32(value);
    } else {
      std::uint64_t value;
      std::memcpy(&value, from, Size);
      number = __builtin_bswap64(value);
    }
    position_ += Size;
    return true;
  }

  // The payload of a string or raw bytes, checked against the bytes left
  // before anything is copied.
  bool readPayload(std::uint64_t size, const char* truncatedMessage, const std::uint8_t*& payload) {
    if (size > left()) return fail(truncatedMessage, size, std::uint64_t{position_});
    payload = bytes_ + position_;
    position_ += static_cast<std::size_t>(size);
    return true;
  }

  // The length of a string whose type byte has been read.
  bool readStringLength(TypeClass type, std::uint8_t typeByte, std::uint64_t& size) {
    switch (type) {
      case TypeClass::FixStr: size = typeByte & 0x1F; return true;
      case TypeClass::Str8: return readNumber<1>(size);
      case TypeClass::Str16: return readNumber<2>(size);
      default: return readNumber<4>(size);
    }
  }

  bool readString(TypeClass type, std::uint8_t typeByte, std::string_view& text) {
    std::uint64_t size = 0;
    const std::uint8_t* payload = nullptr;
    if (!readStringLength(type, typeByte, size) || !readPayload(size, truncatedString, payload)) return false;
    text = std::string_view(reinterpret_cast<const char*>(payload), static_cast<std::size_t>(size));
    return true;
  }

  // A new member of an open map, in the order of arrival. Maps of one
  // shape recur: once the first name matches a shape learnt before, each
  // name is checked against the shape's (a comparison instead of a look-up),
  // and a map that matched to its end is put in the shape's order.
  Value& appendMember(OpenContainer& map, std::string_view key) {
    if (map.expectedShape == detail::MemberOrderCache::noShape) return detail::appendMember(*map.container, key);
    if (map.expectedShape == firstNamePending) {
      const detail::ItemName name = detail::internItemName(store_, key);
      map.expectedShape = memberOrders_.expect(name.name, map.announced);
      map.shapesLearnt = memberOrders_.shapesLearnt();
      return detail::appendMember(*map.container, name);
    }
    const std::size_t index = map.announced - map.remaining - 1;
    if (const InternedString* expected = memberOrders_.expectedName(map.expectedShape, index);
        expected != nullptr && expected->length == key.size() && sameText(expected->text(), key.data(), key.size())) {
      auto* name = const_cast<InternedString*>(expected);
      store_->retain(name);
      return detail::appendMember(*map.container, detail::ItemName{nameKey(key), name});
    }
    map.expectedShape = detail::MemberOrderCache::noShape;
    return detail::appendMember(*map.container, key);
  }

  bool readKey(std::string_view& key) {
    const std::uint8_t typeByte = bytes_[position_++];
    const TypeClass type = typeClasses[typeByte];
    if (type != TypeClass::FixStr && type != TypeClass::Str8 && type != TypeClass::Str16 && type != TypeClass::Str32) {
      return fail(keyNotString, std::uint64_t{position_});
    }
    return readString(type, typeByte, key);
  }

  // Checked at the type byte, before any count bytes are read.
  bool mayOpen() {
    if (openEnd_ != open_.data() + open_.size()) return true;
    return fail(nestedTooDeeply, std::uint64_t{position_}, std::uint64_t{maxNestingDepth});
  }

  template <bool isMap>
  bool open(Value& target, std::uint32_t announced) {
    // A repeated key gets a new container rather than merging into the old.
    if (!target.isEmpty()) target.setEmpty();
    // Sized ahead for speed, but from an allowance of one element or half a
    // member per input byte for the whole document, not from the bytes left
    // at each level, which nested containers would count again and again.
    // Every element has a type byte of its own and every member a key and a
    // value, so a well-formed document never runs short of it.
    const std::size_t room = std::min<std::size_t>(announced, roomAllowance_ >> isMap);
    roomAllowance_ -= room << isMap;
    if constexpr (isMap) {
      detail::makeStructureWithRoom(target, room);
      if (store_ == nullptr) store_ = detail::storeOf(result_.value());
    } else {
      detail::makeCollectionWithRoom(target, room);
    }
    if (announced == 0) return true;
    // Only maps whose shapes the cache learns look for one.
    const bool mayHaveShape = isMap && announced >= detail::MemberOrderCache::minimumMembers;
    *openEnd_++ = OpenContainer{&target, announced, announced, position_, isMap,
                                mayHaveShape ? firstNamePending : detail::MemberOrderCache::noShape, 0};
    return true;
  }

  // One value whose type byte is at the current position (which is before
  // the end); containers stay open for the items that follow.
  bool readValue(Value& target) {
    const std::uint8_t typeByte = bytes_[position_++];
    std::uint64_t number = 0;
    switch (typeClasses[typeByte]) {
      case TypeClass::Fixint:
        target.setSigned(std::int64_t{static_cast<std::int8_t>(typeByte)});
        return true;
      case TypeClass::FixMap:
        return mayOpen() && open<true>(target, typeByte & 0x0F);
      case TypeClass::FixArray:
        return mayOpen() && open<false>(target, typeByte & 0x0F);
      case TypeClass::FixStr:
      case TypeClass::Str8:
      case TypeClass::Str16:
      case TypeClass::Str32: {
        std::string_view text;
        if (!readString(typeClasses[typeByte], typeByte, text)) return false;
        target.setString(text);
        return true;
      }
      case TypeClass::Nil:
        target.setEmpty();
        return true;
      case TypeClass::False:
        target.setBool(false);
        return true;
      case TypeClass::True:
        target.setBool(true);
        return true;
      case TypeClass::Bin8:
      case TypeClass::Bin16:
      case TypeClass::Bin32: {
        const TypeClass type = typeClasses[typeByte];
        const bool sized = type == TypeClass::Bin8    ? readNumber<1>(number)
                           : type == TypeClass::Bin16 ? readNumber<2>(number)
                                                      : readNumber<4>(number);
        const std::uint8_t* payload = nullptr;
        if (!sized || !readPayload(number, truncatedBytes, payload)) return false;
        target.setBlob(payload, static_cast<std::size_t>(number));
        return true;
      }
      case TypeClass::Float32: {
        if (!readNumber<4>(number)) return false;
        const auto bits = static_cast<std::uint32_t>(number);
        float single;
        std::memcpy(&single, &bits, sizeof single);
        target.setFloat(static_cast<double>(single));
        return true;
      }
      case TypeClass::Float64: {
        if (!readNumber<8>(number)) return false;
        double value;
        std::memcpy(&value, &number, sizeof value);
        target.setFloat(value);
        return true;
      }
      case TypeClass::Uint8:
        if (!readNumber<1>(number)) return false;
        target.setUnsigned(number);
        return true;
      case TypeClass::Uint16:
        if (!readNumber<2>(number)) return false;
        target.setUnsigned(number);
        return true;
      case TypeClass::Uint32:
        if (!readNumber<4>(number)) return false;
        target.setUnsigned(number);
        return true;
      case TypeClass::Uint64:
        if (!readNumber<8>(number)) return false;
        target.setUnsigned(number);
        return true;
      case TypeClass::Int8:
        if (!readNumber<1>(number)) return false;
        target.setSigned(std::int64_t{static_cast<std::int8_t>(number)});
        return true;
      case TypeClass::Int16:
        if (!readNumber<2>(number)) return false;
        target.setSigned(std::int64_t{static_cast<std::int16_t>(number)});
        return true;
      case TypeClass::Int32:
        if (!readNumber<4>(number)) return false;
        target.setSigned(std::int64_t{static_cast<std::int32_t>(number)});
        return true;
      case TypeClass::Int64:
        if (!readNumber<8>(number)) return false;
        target.setSigned(static_cast<std::int64_t>(number));
        return true;
      case TypeClass::Array16:
        return mayOpen() && readNumber<2>(number) && open<false>(target, static_cast<std::uint32_t>(number));
      case TypeClass::Array32:
        return mayOpen() && readNumber<4>(number) && open<false>(target, static_cast<std::uint32_t>(number));
      case TypeClass::Map16:
        return mayOpen() && readNumber<2>(number) && open<true>(target, static_cast<std::uint32_t>(number));
      case TypeClass::Map32:
        return mayOpen() && readNumber<4>(number) && open<true>(target, static_cast<std::uint32_t>(number));
      case TypeClass::Invalid:
        break;
    }
    return fail(invalidData, std::uint64_t{position_});
  }

  const std::uint8_t* bytes_;
  std::size_t length_;
  std::size_t position_ = 0;
  // Input bytes not yet spent on room sized ahead: an element costs one, a
  // member two.
  std::size_t roomAllowance_;
  ValueResult& result_;
  // The tree's store, once the first container has made it.
  ValueStore* store_ = nullptr;
  // Open arrays and maps, outermost first. A container's address stays valid
  // while it is open: its parent gets no new item until it closes. mayOpen
  // keeps them within the nesting limit, so the room is fixed and pushing
  // checks nothing.
  std::array<OpenContainer, maxNestingDepth> open_;
  OpenContainer* openEnd_ = open_.data();
  detail::MemberOrderCache memberOrders_;
};

}  // namespace

MessagePackReading parseMessagePack(const void* bytes, std::size_t length) {
  MessagePackReading reading;
  if (bytes == nullptr || length == 0) return reading;
  MessagePackReader reader(static_cast<const std::uint8_t*>(bytes), length, reading.result);
  reader.read();
  reading.position = reader.position();
  return reading;
}

}  // namespace Quor
