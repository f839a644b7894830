// Parses each JSON corpus of the shared bench data into a tree, side by side:
// parseJson into a Value, RapidJSON's Document::Parse with the same flags,
// nlohmann::json::parse, and RapidJSON's Reader with a handler that does
// nothing (the floor: tokenizing alone). Prints MB/s (best of several runs,
// parse only; freeing the tree is timed apart) and parseJson's ratios.

#include <rapidjson/document.h>
#include <rapidjson/reader.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "formats/json_reader.h"

namespace {

constexpr int runs = 15;


struct NullHandler : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, NullHandler> {};


double megabytesPerSecond(std::size_t bytes, double seconds) { return bytes / 1e6 / seconds; }

}  // namespace

int main() {
  const char* const corpora[] = {"canada.json", "citm_catalog.json", "twitter.json"};
  std::printf("MB/s, best of %d runs, parse only (free: time to free the tree, ms)\n\n", runs);
  std::printf("%-18s %10s %10s %10s %10s   %9s %9s   %s\n", "corpus", "parseJson", "Document", "nlohmann",
              "Reader", "vs Doc", "vs nlohm", "free ms: parseJson / Document / nlohmann");
  for (const char* corpus : corpora) {
    const std::string text = bench::readFile(std::string(QCP_SHARED_DIR) + "/bench-data/json/" + corpus);

    const bench::ParseTiming ours = bench::measureParse<Quor::ValueResult>(runs, "parseJson", [&] {
      auto result = std::make_unique<Quor::ValueResult>(Quor::parseJson(text.c_str()));
      if (!result->ok()) result.reset();
      return result;
    });
    const bench::ParseTiming document = bench::measureParse<rapidjson::Document>(runs, "Document", [&] {
      auto result = std::make_unique<rapidjson::Document>();
      result->Parse<rapidjson::kParseDefaultFlags>(text.c_str());
      if (result->HasParseError()) result.reset();
      return result;
    });
    const bench::ParseTiming peer = bench::measureParse<nlohmann::json>(runs, "nlohmann", [&] {
      return std::make_unique<nlohmann::json>(nlohmann::json::parse(text));
    });
    const bench::ParseTiming floor = bench::measureParse<int>(runs, "Reader", [&] {
      rapidjson::Reader reader;
      rapidjson::StringStream stream(text.c_str());
      NullHandler handler;
      const bool ok = !reader.Parse<rapidjson::kParseDefaultFlags>(stream, handler).IsError();
      return ok ? std::make_unique<int>(0) : nullptr;
    });

    const double oursRate = megabytesPerSecond(text.size(), ours.parse);
    const double documentRate = megabytesPerSecond(text.size(), document.parse);
    const double peerRate = megabytesPerSecond(text.size(), peer.parse);
    const double floorRate = megabytesPerSecond(text.size(), floor.parse);
    std::printf("%-18s %10.1f %10.1f %10.1f %10.1f   %8.2fx %8.2fx   %.2f / %.2f / %.2f\n", corpus, oursRate,
                documentRate, peerRate, floorRate, oursRate / documentRate, oursRate / peerRate, ours.destroy * 1e3,
                document.destroy * 1e3, peer.destroy * 1e3);
  }
  std::printf("\nTargets: parseJson at least 0.70x Document and 2x nlohmann on every corpus.\n");
  return 0;
}
