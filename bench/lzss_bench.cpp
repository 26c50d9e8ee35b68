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
#include "bench/bench_support.h"
#include "pack/lzss_encoder.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t kOutputBytes = 64u << 20;

const Bytes& original() {
  static Bytes data = [] {
    std::mt19937 random(1);
    Bytes out;
    out.reserve(kOutputBytes);
    quorvel::bench::appendScriptText(out, kOutputBytes, random);
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

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::printf("input: %zu bytes of LZSS stream for %zu bytes of output\n", stream().size(),
              kOutputBytes);
  quorvel::bench::RateReporter reporter;
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
