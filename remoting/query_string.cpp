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
  const auto needsDecoding = [](std::string_view text) {
    for (const char character : text) {
      if (character == '%' || character == '+') return true;
    }
    return false;
  };
  forEachQueryPiece(path, [&](std::string_view key, std::string_view value) {
    if (!plain) return;
    if (count_ == maxPairs || needsDecoding(key) || needsDecoding(value) ||
        (count_ > 0 && !(pairs_[count_ - 1].first < key))) {
      plain = false;
      return;
    }
    pairs_[count_++] = {key, value};
  });
  return plain;
}

}  // namespace Quor
