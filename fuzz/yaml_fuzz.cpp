// parseYaml over arbitrary bytes, given with their length.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "formats/yaml_reader.h"
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Quor::Fuzz::checkResult(Quor::parseYaml(text));
  return 0;
}
