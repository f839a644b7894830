// Reads each MessagePack corpus of the shared bench data into a tree, side by
// side: parseMessagePack into a Value, msgpack-c's C++ unpack into an object
// handle, and a loop that only walks the type bytes and skips the payloads
// (the floor: decoding without building anything). Prints MB/s (best of
// several runs, parse only; freeing the tree is timed apart) and
// parseMessagePack's ratios.

// msgpack-c without Boost (header-only, C++ standard library only).
#define MSGPACK_NO_BOOST
#include <msgpack.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>

#include "bench/bench_support.h"
#include "formats/msgpack_reader.h"

namespace {

constexpr int runs = 15;



std::uint32_t bigEndian(const std::uint8_t* bytes, int size) {
  std::uint32_t value = 0;
  for (int index = 0; index < size; ++index) value = (value << 8) | bytes[index];
  return value;
}

// Walks one value's type bytes and skips its payloads, counting values;
// -1 when the data ends early or holds a type this walk does not take.
long long walkTypeBytes(const std::uint8_t* bytes, std::size_t length) {
  std::size_t position = 0;
  std::uint64_t pending = 1;  // values still to walk
  long long values = 0;
  while (pending != 0) {
    if (position >= length) return -1;
    const std::uint8_t type = bytes[position++];
    --pending;
    ++values;
    std::size_t skip = 0;
    if (type <= 0x7F || type >= 0xE0 || (type >= 0xC0 && type <= 0xC3)) {
      skip = 0;
    } else if (type <= 0x8F) {
      pending += 2u * (type & 0x0F);
    } else if (type <= 0x9F) {
      pending += type & 0x0F;
    } else if (type <= 0xBF) {
      skip = type & 0x1F;
    } else {
      const int widths[] = {1, 2, 4};
      switch (type) {
        case 0xC4: case 0xC5: case 0xC6:
        case 0xD9: case 0xDA: case 0xDB: {
          const int width = widths[type >= 0xD9 ? type - 0xD9 : type - 0xC4];
          if (length - position < static_cast<std::size_t>(width)) return -1;
          skip = bigEndian(bytes + position, width);
          position += width;
          break;
        }
        case 0xCA: skip = 4; break;
        case 0xCB: skip = 8; break;
        case 0xCC: case 0xD0: skip = 1; break;
        case 0xCD: case 0xD1: skip = 2; break;
        case 0xCE: case 0xD2: skip = 4; break;
        case 0xCF: case 0xD3: skip = 8; break;
        case 0xDC: case 0xDD: case 0xDE: case 0xDF: {
          const int width = (type == 0xDC || type == 0xDE) ? 2 : 4;
          if (length - position < static_cast<std::size_t>(width)) return -1;
          const std::uint32_t count = bigEndian(bytes + position, width);
          position += width;
          pending += type >= 0xDE ? 2ull * count : count;
          break;
        }
        default:
          return -1;
      }
    }
    if (length - position < skip) return -1;
    position += skip;
  }
  return values;
}

double megabytesPerSecond(std::size_t bytes, double seconds) { return bytes / 1e6 / seconds; }

}  // namespace

int main() {
  const char* const corpora[] = {"canada.msgpack", "citm_catalog.msgpack", "twitter.msgpack"};
  std::printf("MB/s, best of %d runs, parse only (free: time to free the tree, ms)\n\n", runs);
  std::printf("%-22s %17s %10s %10s   %9s %9s   %s\n", "corpus", "parseMessagePack", "msgpack-c", "type walk",
              "vs msgpk", "vs walk", "free ms: parseMessagePack / msgpack-c");
  for (const char* corpus : corpora) {
    const std::string data = bench::readFile(std::string(QCP_SHARED_DIR) + "/bench-data/msgpack/" + corpus);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.data());

    const bench::ParseTiming ours = bench::measureParse<Quor::ValueResult>(runs, "parseMessagePack", [&] {
      Quor::MessagePackReading reading = Quor::parseMessagePack(data.data(), data.size());
      if (!reading.result.ok() || reading.position != data.size()) return std::unique_ptr<Quor::ValueResult>();
      return std::make_unique<Quor::ValueResult>(std::move(reading.result));
    });
    const bench::ParseTiming peer = bench::measureParse<msgpack::object_handle>(runs, "msgpack-c", [&] {
      auto handle = std::make_unique<msgpack::object_handle>();
      std::size_t offset = 0;
      msgpack::unpack(*handle, data.data(), data.size(), offset);
      if (offset != data.size()) handle.reset();
      return handle;
    });
    const bench::ParseTiming floor = bench::measureParse<long long>(runs, "type walk", [&] {
      const long long values = walkTypeBytes(bytes, data.size());
      return values > 0 ? std::make_unique<long long>(values) : nullptr;
    });

    const double oursRate = megabytesPerSecond(data.size(), ours.parse);
    const double peerRate = megabytesPerSecond(data.size(), peer.parse);
    const double floorRate = megabytesPerSecond(data.size(), floor.parse);
    std::printf("%-22s %17.1f %10.1f %10.1f   %8.2fx %8.2fx   %.2f / %.2f\n", corpus, oursRate, peerRate, floorRate,
                oursRate / peerRate, oursRate / floorRate, ours.destroy * 1e3, peer.destroy * 1e3);
  }
  std::printf("\nTarget: parseMessagePack at least 0.70x msgpack-c on every corpus (1.00x the aim).\n");
  return 0;
}
