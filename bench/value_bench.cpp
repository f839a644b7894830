// Builds a tree of about one million nodes, deep-copies it, reads it back and
// destroys it, with Value, RapidJSON's Document (memory-pool allocator) and
// nlohmann::json, each in a child process of its own so peak memory is its own.

#include <rapidjson/document.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "binding/value.h"

namespace {

constexpr int recordCount = 62500;  // 16 nodes a record: 1,000,001 nodes with the root
constexpr long nodeCount = 16L * recordCount + 1;
const char* const kinds[] = {"player", "friend", "guest", "admin", "bot", "spectator", "coach", "owner"};
const char* const tags[] = {"ranked", "casual", "europe", "america", "asia", "beta", "alpha", "new"};

std::string distinctName(int index) { return "user-" + std::to_string(index * 7919); }

enum Phase { Build, Copy, Read, Destroy };

// ---- Value -----------------------------------------------------------------------
void valueWorkload(bench::Figures& figures) {
  double start = bench::nowSeconds();
  auto* tree = new Quor::Value();
  tree->makeCollection();
  tree->reserve(recordCount);
  for (int index = 0; index < recordCount; ++index) {
    Quor::Value& record = tree->appendElement();
    record.writeMember("id").setUnsigned(static_cast<std::uint64_t>(index));
    record.writeMember("name").setString(distinctName(index));
    record.writeMember("kind").setString(kinds[index % 8]);
    record.writeMember("score").setFloat(index * 0.5);
    record.writeMember("active").setBool(index % 3 == 0);
    Quor::Value& tagList = record.writeMember("tags");
    for (int tag = 0; tag < 5; ++tag) tagList.appendElement().setString(tags[(index + tag) % 8]);
    Quor::Value& position = record.writeMember("position");
    position.writeMember("x").setFloat(index);
    position.writeMember("y").setFloat(-index);
    position.writeMember("z").setSigned(index % 100);
  }
  figures.seconds[Build] = bench::nowSeconds() - start;

  start = bench::nowSeconds();
  auto* copy = new Quor::Value(*tree);
  figures.seconds[Copy] = bench::nowSeconds() - start;

  start = bench::nowSeconds();
  double sum = 0;
  for (const Quor::Value& record : copy->elements()) {
    sum += static_cast<double>(record.member("id").getUnsigned());
    sum += static_cast<double>(record.member("name").getString().size() + record.member("kind").getString().size());
    sum += record.member("score").getFloat() + (record.member("active").getBool() ? 1 : 0);
    for (const Quor::Value& tag : record.member("tags").elements()) sum += static_cast<double>(tag.size());
    const Quor::Value& position = record.member("position");
    sum += position.member("x").getFloat() + position.member("y").getFloat() +
           static_cast<double>(position.member("z").getSigned());
  }
  figures.seconds[Read] = bench::nowSeconds() - start;
  if (sum == 42) std::puts("");

  start = bench::nowSeconds();
  delete copy;
  delete tree;
  figures.seconds[Destroy] = bench::nowSeconds() - start;
}

// ---- RapidJSON Document --------------------------------------------------------------
void rapidJsonWorkload(bench::Figures& figures) {
  using rapidjson::StringRef;
  double start = bench::nowSeconds();
  auto* tree = new rapidjson::Document();
  auto& allocator = tree->GetAllocator();
  tree->SetArray();
  tree->Reserve(recordCount, allocator);
  for (int index = 0; index < recordCount; ++index) {
    rapidjson::Value record(rapidjson::kObjectType);
    const std::string name = distinctName(index);
    record.AddMember("id", static_cast<std::uint64_t>(index), allocator);
    record.AddMember("name", rapidjson::Value(name.c_str(), static_cast<rapidjson::SizeType>(name.size()), allocator), allocator);
    record.AddMember("kind", rapidjson::Value(kinds[index % 8], allocator), allocator);
    record.AddMember("score", index * 0.5, allocator);
    record.AddMember("active", index % 3 == 0, allocator);
    rapidjson::Value tagList(rapidjson::kArrayType);
    for (int tag = 0; tag < 5; ++tag) tagList.PushBack(rapidjson::Value(tags[(index + tag) % 8], allocator), allocator);
    record.AddMember("tags", tagList, allocator);
    rapidjson::Value position(rapidjson::kObjectType);
    position.AddMember("x", static_cast<double>(index), allocator);
    position.AddMember("y", static_cast<double>(-index), allocator);
    position.AddMember("z", index % 100, allocator);
    record.AddMember("position", position, allocator);
    tree->PushBack(record, allocator);
  }
  figures.seconds[Build] = bench::nowSeconds() - start;

  start = bench::nowSeconds();
  auto* copy = new rapidjson::Document();
  copy->CopyFrom(*tree, copy->GetAllocator());
  figures.seconds[Copy] = bench::nowSeconds() - start;

  start = bench::nowSeconds();
  double sum = 0;
  for (const auto& record : copy->GetArray()) {
    sum += static_cast<double>(record["id"].GetUint64());
    sum += static_cast<double>(record["name"].GetStringLength() + record["kind"].GetStringLength());
    sum += record["score"].GetDouble() + (record["active"].GetBool() ? 1 : 0);
    for (const auto& tag : record["tags"].GetArray()) sum += tag.GetStringLength();
    const auto& position = record["position"];
    sum += position["x"].GetDouble() + position["y"].GetDouble() + position["z"].GetInt();
  }
  figures.seconds[Read] = bench::nowSeconds() - start;
  if (sum == 42) std::puts("");

  start = bench::nowSeconds();
  delete copy;
  delete tree;
  figures.seconds[Destroy] = bench::nowSeconds() - start;
}

// ---- nlohmann::json -----------------------------------------------------------------
void nlohmannWorkload(bench::Figures& figures) {
  using json = nlohmann::json;
  double start = bench::nowSeconds();
  auto* tree = new json(json::array());
  tree->get_ref<json::array_t&>().reserve(recordCount);
  for (int index = 0; index < recordCount; ++index) {
    json record = json::object();
    record["id"] = static_cast<std::uint64_t>(index);
    record["name"] = distinctName(index);
    record["kind"] = kinds[index % 8];
    record["score"] = index * 0.5;
    record["active"] = index % 3 == 0;
    json tagList = json::array();
    for (int tag = 0; tag < 5; ++tag) tagList.push_back(tags[(index + tag) % 8]);
    record["tags"] = std::move(tagList);
    record["position"] = json{{"x", static_cast<double>(index)}, {"y", static_cast<double>(-index)}, {"z", index % 100}};
    tree->push_back(std::move(record));
  }
  figures.seconds[Build] = bench::nowSeconds() - start;

  start = bench::nowSeconds();
  auto* copy = new json(*tree);
  figures.seconds[Copy] = bench::nowSeconds() - start;

  start = bench::nowSeconds();
  double sum = 0;
  for (const auto& record : *copy) {
    sum += static_cast<double>(record["id"].get<std::uint64_t>());
    sum += static_cast<double>(record["name"].get_ref<const std::string&>().size() +
                               record["kind"].get_ref<const std::string&>().size());
    sum += record["score"].get<double>() + (record["active"].get<bool>() ? 1 : 0);
    for (const auto& tag : record["tags"]) sum += static_cast<double>(tag.get_ref<const std::string&>().size());
    const auto& position = record["position"];
    sum += position["x"].get<double>() + position["y"].get<double>() + position["z"].get<int>();
  }
  figures.seconds[Read] = bench::nowSeconds() - start;
  if (sum == 42) std::puts("");

  start = bench::nowSeconds();
  delete copy;
  delete tree;
  figures.seconds[Destroy] = bench::nowSeconds() - start;
}

struct Contender {
  const char* name;
  void (*work)(bench::Figures&);
  bench::Figures best{};
};

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  Contender contenders[] = {{"Value", valueWorkload}, {"RapidJSON Document", rapidJsonWorkload},
                            {"nlohmann::json", nlohmannWorkload}};
  // The contenders take turns, round by round, so that a change in the
  // machine's load meets each of them alike.
  for (int round = 0; round < rounds; ++round) {
    for (Contender& contender : contenders) {
      bench::Figures figures{};
      if (!bench::runIsolated(contender.work, figures)) {
        std::fprintf(stderr, "%s: workload failed\n", contender.name);
        return 1;
      }
      // Best of the rounds per phase: the least disturbed measurement.
      for (int phase = 0; phase < 4; ++phase) {
        if (round == 0 || figures.seconds[phase] < contender.best.seconds[phase]) {
          contender.best.seconds[phase] = figures.seconds[phase];
        }
      }
      if (round == 0 || figures.peakKiB > contender.best.peakKiB) contender.best.peakKiB = figures.peakKiB;
    }
  }

  const auto perNode = [](double seconds) { return seconds * 1e9 / static_cast<double>(nodeCount); };
  std::printf("Tree of %ld nodes, best of %d rounds, nanoseconds per node\n", nodeCount, rounds);
  std::printf("%-20s %8s %8s %8s %8s %14s %10s %16s\n", "library", "build", "copy", "read", "destroy",
              "build+destroy", "peak MiB", "vs RapidJSON");
  const bench::Figures& reference = contenders[1].best;
  const double referenceTotal = reference.seconds[Build] + reference.seconds[Destroy];
  for (const Contender& contender : contenders) {
    const bench::Figures& f = contender.best;
    const double total = f.seconds[Build] + f.seconds[Destroy];
    std::printf("%-20s %8.1f %8.1f %8.1f %8.1f %14.1f %10.1f %15.2fx\n", contender.name, perNode(f.seconds[Build]),
                perNode(f.seconds[Copy]), perNode(f.seconds[Read]), perNode(f.seconds[Destroy]), perNode(total),
                static_cast<double>(f.peakKiB) / 1024.0, total / referenceTotal);
  }
  const double valueTotal = contenders[0].best.seconds[Build] + contenders[0].best.seconds[Destroy];
  const double nlohmannTotal = contenders[2].best.seconds[Build] + contenders[2].best.seconds[Destroy];
  std::printf("build+destroy: Value is %.2fx RapidJSON's time (target at most 1.5x) and %.2fx nlohmann::json's (target below 1x)\n",
              valueTotal / referenceTotal, valueTotal / nlohmannTotal);
  return 0;
}
