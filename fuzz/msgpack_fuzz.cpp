// parseMessagePack over arbitrary bytes.

#include <cstddef>
#include <cstdint>

#include "formats/msgpack_reader.h"
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Quor::MessagePackReading reading = Quor::parseMessagePack(data, size);
  Quor::Fuzz::require(reading.position <= size);
  Quor::Fuzz::require(size != 0 || reading.position == 0);
  Quor::Fuzz::checkResult(reading.result);
  return 0;
}
