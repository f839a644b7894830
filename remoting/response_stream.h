#pragma once
// A streamed response body, handed over to the core, which reads it through
// the response record's forwarding functions and then destroys it.

#include <cstdint>

namespace Quor {

class ResponseStream {
 public:
  virtual ~ResponseStream() = default;
  // Fills buffer with up to *size bytes, sets *size to the count delivered
  // and *more to whether more follows; 0 reports a read error.
  virtual std::uint32_t read(void* buffer, std::uint32_t* size, std::uint8_t* more) = 0;
  virtual std::uint32_t size() = 0;
};

}  // namespace Quor
