#include "remoting/status_reason_table.h"

#include <algorithm>
#include <iterator>

namespace Quor {

namespace {

struct StatusReason {
  std::int32_t code;
  const char* phrase;
};

// Ascending by code. 207 carries its number inside the phrase.
constexpr StatusReason reasons[] = {
    {100, "Continue"},
    {101, "Switching Protocols"},
    {102, "Processing"},
    {200, "OK"},
    {201, "Created"},
    {202, "Accepted"},
    {203, "Non-Authoritative Information"},
    {204, "No Content"},
    {205, "Reset Content"},
    {206, "Partial Content"},
    {207, "207 Multi-Status"},
    {300, "Multiple Choices"},
    {301, "Moved Permanently"},
    {302, "Found"},
    {303, "See Other"},
    {304, "Not Modified"},
    {305, "Use Proxy"},
    {307, "Temporary Redirect"},
    {400, "Bad Request"},
    {401, "Unauthorized"},
    {402, "Payment Required"},
    {403, "Forbidden"},
    {404, "Not Found"},
    {405, "Method Not Allowed"},
    {406, "Not Acceptable"},
    {407, "Proxy Authentication Required"},
    {408, "Request Timeout"},
    {409, "Conflict"},
    {410, "Gone"},
    {411, "Length Required"},
    {412, "Precondition Failed"},
    {413, "Request Entity Too Large"},
    {414, "Request-URI Too Long"},
    {415, "Unsupported Media Type"},
    {416, "Requested Range Not Satisfiable"},
    {417, "Expectation Failed"},
    {422, "Unprocessable Entity"},
    {423, "Locked"},
    {424, "Failed Dependency"},
    {500, "Internal Server Error"},
    {501, "Not Implemented"},
    {502, "Bad Gateway"},
    {503, "Service Unavailable"},
    {504, "Gateway Timeout"},
    {505, "HTTP Version Not Supported"},
    {507, "Insufficient Storage"},
};

static_assert(std::size(reasons) == 46);
static_assert(std::is_sorted(std::begin(reasons), std::end(reasons),
                             [](const StatusReason& a, const StatusReason& b) { return a.code < b.code; }));

}  // namespace

const char* StatusReasonTable::find(std::int32_t code) {
  const auto found = std::lower_bound(std::begin(reasons), std::end(reasons), code,
                                      [](const StatusReason& entry, std::int32_t wanted) { return entry.code < wanted; });
  return found != std::end(reasons) && found->code == code ? found->phrase : nullptr;
}

std::size_t StatusReasonTable::size() { return std::size(reasons); }

}  // namespace Quor
