#pragma once
// Reason phrases of the HTTP status codes the remoting layer knows. A
// constant table: it exists before the library's global objects are built
// and needs no teardown.

#include <cstddef>
#include <cstdint>

namespace Quor {

class StatusReasonTable {
 public:
  // The phrase for code, or null when the table has no entry.
  static const char* find(std::int32_t code);
  static std::size_t size();
};

}  // namespace Quor
