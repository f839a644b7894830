#include "remoting/query_string.h"

#include "remoting/url_decode.h"

namespace Quor {

PathCaptures parseQuery(std::string_view path) {
  PathCaptures arguments;
  const std::size_t mark = path.find('?');
  if (mark == std::string_view::npos) return arguments;
  std::string_view rest = path.substr(mark + 1);
  while (true) {
    const std::size_t end = rest.find('&');
    const std::string_view piece = rest.substr(0, end);
    const std::size_t equals = piece.find('=');
    if (equals == std::string_view::npos) {
      arguments.insert_or_assign(urlDecode(piece), std::string());
    } else {
      arguments.insert_or_assign(urlDecode(piece.substr(0, equals)), urlDecode(piece.substr(equals + 1)));
    }
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return arguments;
}

}  // namespace Quor
