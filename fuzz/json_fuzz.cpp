// parseJson over arbitrary bytes, read as the NUL-terminated text they form.

#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/json_reader.h"
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  Quor::Fuzz::checkResult(Quor::parseJson(text.c_str()));
  return 0;
}
