// What the benchmarks share: typical script text to compress, and a reporter that keeps each
// benchmark's rate (the median of its repetitions where it has several) for the ratios printed
// at the end.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace quorvel::bench {

// Appends `bytes` of words drawn from a small vocabulary with numbers and occasional noise:
// mostly short and medium matches with literals between them, as in scripts and tables of game
// data.
inline void appendScriptText(std::vector<uint8_t>& out, size_t bytes, std::mt19937& random) {
  const char* words[] = {"the ",   "castle ", "door ",  "opens ", "slowly ", "\n",
                         "HP=",    "MP=",     "item ",  "sword ", "shield ", "potion ",
                         "said: ", "\"",      "night ", "rain ",  "falls ",  ", "};
  const size_t end = out.size() + bytes;
  while (out.size() < end) {
    uint32_t pick = random() % 24;
    if (pick < 18) {
      out.insert(out.end(), words[pick], words[pick] + std::strlen(words[pick]));
    } else if (pick < 21) {
      std::string number = std::to_string(random() % 1000);
      out.insert(out.end(), number.begin(), number.end());
    } else {
      out.push_back(static_cast<uint8_t>(random()));
    }
  }
  out.resize(end);
}

class RateReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      // Single runs, or the median of repetitions (reported after them).
      if (!run.aggregate_name.empty() && run.aggregate_name != "median") continue;
      auto found = run.counters.find("bytes_per_second");
      if (found == run.counters.end()) continue;
      std::string name = run.benchmark_name();
      rates[name.substr(0, name.find('/'))] = found->second.value;
    }
  }
  std::map<std::string, double> rates;
};

}  // namespace quorvel::bench
