#include "remoting/query_string.h"

#include "remoting/url_decode.h"

namespace Quor {

PathCaptures parseQuery(std::string_view path) {
  PathCaptures arguments;
  forEachQueryPiece(path, [&arguments](std::string_view key, std::string_view value) {
    arguments.insert_or_assign(urlDecode(key), urlDecode(value));
  });
  return arguments;
}

bool PlainQuery::read(std::string_view path) {
  count_ = 0;
  bool plain = true;
  forEachQueryPiece(path, [&](std::string_view key, std::string_view value) {
    if (!plain) return;
    if (count_ == maxPairs || needsUrlDecoding(key) || needsUrlDecoding(value) ||
        (count_ > 0 && !(pairs_[count_ - 1].first < key))) {
      plain = false;
      return;
    }
    pairs_[count_++] = {key, value};
  });
  return plain;
}

}  // namespace Quor
