// LZSS decoding speed: the archive reader's lzssDecode next to a straightforward decoder that
// takes the format's steps one byte at a time through a 4096-byte ring window, on the same
// 64 MiB of typical data (text-like runs mixed with literals). Prints both rates and the ratio.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "archive/lzss.h"
#include "pack/lzss_encoder.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t kOutputBytes = 64u << 20;

// Words drawn from a small vocabulary with numbers and occasional noise: mostly short and
// medium matches with literals between them, as in scripts and tables of game data.
const Bytes& original() {
  static Bytes data = [] {
    std::mt19937 random(1);
    const char* words[] = {"the ",   "castle ", "door ",  "opens ", "slowly ", "\n",
                           "HP=",    "MP=",     "item ",  "sword ", "shield ", "potion ",
                           "said: ", "\"",      "night ", "rain ",  "falls ",  ", "};
    Bytes out;
    out.reserve(kOutputBytes);
    while (out.size() < kOutputBytes) {
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
    out.resize(kOutputBytes);
    return out;
  }();
  return data;
}

const Bytes& stream() {
  static Bytes data = quorvel::lzssEncode(original());
  return data;
}

// The format's steps as written: input through a 1024-byte buffer, one byte at a time, every
// output byte through the ring window.
struct StepReader {
  const uint8_t* input;
  size_t inputLeft;
  uint8_t buffer[1024];
  size_t bytesLeft = 0;
  const uint8_t* readPointer = nullptr;

  uint8_t nextByte() {
    if (bytesLeft == 0) {
      size_t piece = inputLeft < sizeof buffer ? inputLeft : sizeof buffer;
      std::memcpy(buffer, input, piece);
      input += piece;
      inputLeft -= piece;
      bytesLeft = piece;
      readPointer = buffer;
    }
    --bytesLeft;
    return *readPointer++;
  }
};

uint32_t stepByStepDecode(const Bytes& in, uint8_t* out, uint32_t size) {
  StepReader reader{in.data(), in.size(), {}};
  uint8_t window[4096] = {};
  uint32_t r = 4078;
  uint32_t remaining = size;
  while (remaining != 0) {
    uint8_t flags = reader.nextByte();
    for (uint32_t mask = 1; mask < 256; mask <<= 1) {
      uint8_t b1 = reader.nextByte();
      if (flags & mask) {
        *out++ = b1;
        window[r] = b1;
        r = (r + 1) & 0xFFF;
        if (--remaining == 0) return size;
      } else {
        uint8_t b2 = reader.nextByte();
        uint32_t position = b1 | ((b2 & 0xF0) << 4);
        uint32_t length = (b2 & 0x0F) + 3;
        for (uint32_t k = 0; k < length; ++k) {
          uint8_t b = window[(position + k) & 0xFFF];
          *out++ = b;
          window[r] = b;
          r = (r + 1) & 0xFFF;
          if (--remaining == 0) return size;
        }
      }
    }
  }
  return size;
}

void checkOutput(benchmark::State& state, const Bytes& out) {
  if (out != original()) state.SkipWithError("decoded bytes differ from the original");
}

void BM_LzssDecode(benchmark::State& state) {
  const Bytes& in = stream();
  Bytes out(kOutputBytes);
  for (auto _ : state) {
    quorvel::LzssReader reader = quorvel::LzssReader::fromMemory(in.data(), in.size());
    benchmark::DoNotOptimize(
        quorvel::lzssDecode(reader, nullptr, out.data(), static_cast<uint32_t>(out.size())));
    benchmark::ClobberMemory();
  }
  checkOutput(state, out);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kOutputBytes));
}

void BM_StepByStepDecode(benchmark::State& state) {
  const Bytes& in = stream();
  Bytes out(kOutputBytes);
  for (auto _ : state) {
    benchmark::DoNotOptimize(stepByStepDecode(in, out.data(), static_cast<uint32_t>(out.size())));
    benchmark::ClobberMemory();
  }
  checkOutput(state, out);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kOutputBytes));
}

BENCHMARK(BM_LzssDecode)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_StepByStepDecode)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// Keeps each benchmark's rate so that the ratio can be printed at the end.
class RateReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      auto found = run.counters.find("bytes_per_second");
      if (found == run.counters.end()) continue;
      std::string name = run.benchmark_name();
      rates[name.substr(0, name.find('/'))] = found->second.value;
    }
  }
  std::map<std::string, double> rates;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::printf("input: %zu bytes of LZSS stream for %zu bytes of output\n", stream().size(),
              kOutputBytes);
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double fast = reporter.rates["BM_LzssDecode"];
  double steps = reporter.rates["BM_StepByStepDecode"];
  if (fast > 0 && steps > 0) {
    std::printf("lzssDecode %.0f MB/s, step-by-step %.0f MB/s, ratio %.2fx\n", fast / 1e6,
                steps / 1e6, fast / steps);
  }
  benchmark::Shutdown();
  return 0;
}
