// parseYaml over arbitrary bytes, given with their length; the reader that
// keeps each node in place must agree with it on every input.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "formats/value_text_writer.h"
#include "formats/yaml_reader.h"
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const Quor::ValueResult result = Quor::parseYaml(text);
  Quor::Fuzz::checkResult(result);
  const Quor::ValueResult inPlace = Quor::detail::parseYamlInPlace(text);
  Quor::Fuzz::require(inPlace.ok() == result.ok());
  Quor::Fuzz::require(Quor::valueToText(inPlace.value(), Quor::ValueTextStyle::Typed) ==
                      Quor::valueToText(result.value(), Quor::ValueTextStyle::Typed));
  return 0;
}
