// Reads each YAML corpus of the shared bench data, side by side: parseYaml
// into a Value, and libyaml's event loop with no value built (the floor:
// libyaml's own scanning and parsing). Prints MB/s (best of several runs,
// parse only; freeing the tree is timed apart) and parseYaml's time as a
// multiple of the floor's.

#include <yaml.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "bench/bench_support.h"
#include "formats/yaml_reader.h"

namespace {

constexpr int runs = 20;


// Every event of the text, each released at once; false on a parser error.
bool eventLoop(const std::string& text) {
  yaml_parser_t parser;
  if (!yaml_parser_initialize(&parser)) return false;
  yaml_parser_set_encoding(&parser, YAML_UTF8_ENCODING);
  yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(text.data()), text.size());
  bool ok = true;
  for (;;) {
    yaml_event_t event;
    if (!yaml_parser_parse(&parser, &event)) {
      ok = false;
      break;
    }
    const bool end = event.type == YAML_STREAM_END_EVENT;
    yaml_event_delete(&event);
    if (end) break;
  }
  yaml_parser_delete(&parser);
  return ok;
}

struct Timing {
  double parse = 1e30;    // best time to read the text, in seconds
  double destroy = 1e30;  // best time to free the tree
  double floor = 1e30;    // best time of the event loop
};

// Runs parseYaml and the event loop in turns, so that a change in the
// machine's load meets both alike.
Timing measure(const std::string& text) {
  Timing timing;
  for (int run = 0; run < runs; ++run) {
    double start = bench::nowSeconds();
    const bool loopOk = eventLoop(text);
    timing.floor = std::min(timing.floor, bench::nowSeconds() - start);

    start = bench::nowSeconds();
    auto result = std::make_unique<Quor::ValueResult>(Quor::parseYaml(text));
    timing.parse = std::min(timing.parse, bench::nowSeconds() - start);
    start = bench::nowSeconds();
    const bool ok = result->ok();
    result.reset();
    timing.destroy = std::min(timing.destroy, bench::nowSeconds() - start);
    if (!loopOk || !ok) {
      std::fprintf(stderr, "%s failed\n", loopOk ? "parseYaml" : "event loop");
      std::exit(1);
    }
  }
  return timing;
}

}  // namespace

int main() {
  const char* const corpora[] = {"canada.yaml", "citm_catalog.yaml", "twitter.yaml"};
  std::printf("MB/s, best of %d runs, parse only (free: time to free the tree, ms)\n\n", runs);
  std::printf("%-20s %10s %12s   %14s   %s\n", "corpus", "parseYaml", "event loop", "time vs loop", "free ms");
  for (const char* corpus : corpora) {
    const std::string text = bench::readFile(std::string(QCP_SHARED_DIR) + "/bench-data/yaml/" + corpus);
    const Timing timing = measure(text);
    std::printf("%-20s %10.1f %12.1f   %13.2fx   %.2f\n", corpus, text.size() / 1e6 / timing.parse,
                text.size() / 1e6 / timing.floor, timing.parse / timing.floor, timing.destroy * 1e3);
  }
  std::printf("\nTarget: parseYaml at most 1.50x the event loop's time on every corpus.\n");
  return 0;
}
