#pragma once
// The arguments a request path carries after its first "?".

#include <array>
#include <cstddef>
#include <span>
#include <string_view>
#include <utility>

#include "remoting/route.h"

namespace Quor {

// Calls visit(key, value) for each piece of what follows the first "?" of
// path, split at every "&", with the key and value as they stand in the path
// (not decoded); a piece without "=" has the empty value.
template <class Visit>
void forEachQueryPiece(std::string_view path, Visit&& visit) {
  const std::size_t mark = path.find('?');
  if (mark == std::string_view::npos) return;
  std::string_view rest = path.substr(mark + 1);
  while (true) {
    const std::size_t end = rest.find('&');
    const std::string_view piece = rest.substr(0, end);
    const std::size_t equals = piece.find('=');
    visit(piece.substr(0, equals), equals == std::string_view::npos ? std::string_view() : piece.substr(equals + 1));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
}

// Splits what follows the first "?" of path at every "&", each piece at its
// first "=" into key and value (a piece without "=" is a key with the empty
// value; an empty piece gives the empty key), decodes both (urlDecode), and
// keeps the last value of a repeated key. Empty without a "?".
PathCaptures parseQuery(std::string_view path);

// The query of most requests: a few pairs, nothing to decode, keys in
// ascending order. Such a query is held as views into the path, which are
// what parseQuery gives, in its order, without building the map.
class PlainQuery {
 public:
  static constexpr std::size_t maxPairs = 8;

  // False (and the pairs unusable) unless the query has at most maxPairs
  // pieces, none holding "%" or "+", with strictly ascending keys.
  bool read(std::string_view path);
  std::span<const std::pair<std::string_view, std::string_view>> pairs() const { return {pairs_.data(), count_}; }

 private:
  std::array<std::pair<std::string_view, std::string_view>, maxPairs> pairs_;
  std::size_t count_ = 0;
};

}  // namespace Quor
