// LZSS encoding, speed and output size: the packer's lzssEncode next to the classic greedy
// encoder kept below (a binary search tree over the 4096-byte window finds the longest match at
// every position where an item starts, and the longest match is always taken), on the same
// 64 MiB of typical data: 32-bit picture rows with flat runs, gradients and noise, and script
// text. Both streams are decoded and compared with the input. Prints both rates and sizes and
// their ratios.
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
constexpr size_t kInputBytes = 64u << 20;
constexpr size_t kChunkBytes = 1u << 20;

// One 512 x 512 picture (1 MiB) of blue, green, red, alpha: a flat background, a vertical
// gradient band, a few solid rectangles with transparent surroundings and a noisy patch.
void appendPicture(Bytes& out, std::mt19937& random) {
  const int size = 512;
  const uint32_t background = random() | 0xFF000000u;
  int boxes[4][5];
  for (auto& box : boxes) {
    box[0] = static_cast<int>(random() % 400);
    box[1] = static_cast<int>(random() % 400);
    box[2] = 20 + static_cast<int>(random() % 100);
    box[3] = 20 + static_cast<int>(random() % 100);
    box[4] = static_cast<int>(random());
  }
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      uint32_t pixel = background;
      if (x >= 200 && x < 300) pixel = 0xFF000000u | (static_cast<uint32_t>(y / 2) * 0x010101u);
      for (const auto& box : boxes) {
        if (x >= box[0] && x < box[0] + box[2] && y >= box[1] && y < box[1] + box[3]) {
          pixel = static_cast<uint32_t>(box[4]);
        }
      }
      if (x > 420 && y > 420) pixel = random();
      if (y > 480) pixel = 0;  // transparent bottom rows
      for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(pixel >> (8 * k)));
    }
  }
}

// Half pictures, half text, in alternating 1 MiB pieces.
const Bytes& original() {
  static Bytes data = [] {
    std::mt19937 random(3);
    Bytes out;
    out.reserve(kInputBytes + kChunkBytes);
    for (size_t piece = 0; out.size() < kInputBytes; ++piece) {
      if (piece % 2 == 0) {
        appendPicture(out, random);
      } else {
        quorvel::bench::appendScriptText(out, kChunkBytes, random);
      }
    }
    out.resize(kInputBytes);
    return out;
  }();
  return data;
}

// The classic greedy LZSS encoder: a ring buffer of 4096 bytes plus 17 copied bytes for
// comparisons across its end, and a binary search tree of the strings that start at each ring
// position, kept in step with the ring. Inserting the string at the current position walks the
// tree and finds the longest match on the way. Output in this format (the ring's unwritten part
// is zero).
class GreedyTreeEncoder {
 public:
  Bytes encode(const Bytes& input) {
    out_.clear();
    out_.reserve(input.size() + input.size() / 8 + 16);
    for (int i = kN + 1; i <= kN + 256; ++i) right_[i] = kNil;
    for (int i = 0; i < kN; ++i) parent_[i] = kNil;
    std::memset(ring_, 0, sizeof ring_);
    group_[0] = 0;
    groupBytes_ = 1;
    mask_ = 1;
    size_t in = 0;
    int s = 0;
    int r = kN - kF;
    int length = 0;
    for (; length < kF && in < input.size(); ++length) ring_[r + length] = input[in++];
    if (length == 0) return out_;
    for (int i = 1; i <= kF; ++i) insertNode(r - i);
    insertNode(r);
    while (length > 0) {
      if (matchLength_ > length) matchLength_ = length;
      if (matchLength_ < 3) {
        matchLength_ = 1;
        group_[0] |= mask_;
        group_[groupBytes_++] = ring_[r];
      } else {
        group_[groupBytes_++] = static_cast<uint8_t>(matchPosition_);
        group_[groupBytes_++] =
            static_cast<uint8_t>(((matchPosition_ >> 4) & 0xF0) | (matchLength_ - 3));
      }
      mask_ = static_cast<uint8_t>(mask_ << 1);
      if (mask_ == 0) flushGroup();
      int last = matchLength_;
      int i = 0;
      for (; i < last && in < input.size(); ++i) {
        deleteNode(s);
        uint8_t c = input[in++];
        ring_[s] = c;
        if (s < kF - 1) ring_[s + kN] = c;
        s = (s + 1) & (kN - 1);
        r = (r + 1) & (kN - 1);
        insertNode(r);
      }
      for (; i < last; ++i) {
        deleteNode(s);
        s = (s + 1) & (kN - 1);
        r = (r + 1) & (kN - 1);
        if (--length > 0) insertNode(r);
      }
    }
    if (groupBytes_ > 1) flushGroup();
    return out_;
  }

 private:
  static constexpr int kN = 4096;
  static constexpr int kF = 18;
  static constexpr int kNil = kN;

  void flushGroup() {
    out_.insert(out_.end(), group_, group_ + groupBytes_);
    group_[0] = 0;
    groupBytes_ = 1;
    mask_ = 1;
  }

  void insertNode(int r) {
    int cmp = 1;
    const uint8_t* key = &ring_[r];
    int p = kN + 1 + key[0];
    right_[r] = left_[r] = kNil;
    matchLength_ = 0;
    for (;;) {
      if (cmp >= 0) {
        if (right_[p] != kNil) {
          p = right_[p];
        } else {
          right_[p] = r;
          parent_[r] = p;
          return;
        }
      } else {
        if (left_[p] != kNil) {
          p = left_[p];
        } else {
          left_[p] = r;
          parent_[r] = p;
          return;
        }
      }
      int i = 1;
      for (; i < kF; ++i) {
        cmp = key[i] - ring_[p + i];
        if (cmp != 0) break;
      }
      if (i > matchLength_) {
        matchPosition_ = p;
        matchLength_ = i;
        if (i >= kF) break;
      }
    }
    // A string equal to the new one over all 18 bytes: the new node takes its place.
    parent_[r] = parent_[p];
    left_[r] = left_[p];
    right_[r] = right_[p];
    parent_[left_[p]] = r;
    parent_[right_[p]] = r;
    if (right_[parent_[p]] == p) {
      right_[parent_[p]] = r;
    } else {
      left_[parent_[p]] = r;
    }
    parent_[p] = kNil;
  }

  void deleteNode(int p) {
    if (parent_[p] == kNil) return;
    int q;
    if (right_[p] == kNil) {
      q = left_[p];
    } else if (left_[p] == kNil) {
      q = right_[p];
    } else {
      q = left_[p];
      if (right_[q] != kNil) {
        do {
          q = right_[q];
        } while (right_[q] != kNil);
        right_[parent_[q]] = left_[q];
        parent_[left_[q]] = parent_[q];
        left_[q] = left_[p];
        parent_[left_[p]] = q;
      }
      right_[q] = right_[p];
      parent_[right_[p]] = q;
    }
    parent_[q] = parent_[p];
    if (right_[parent_[p]] == p) {
      right_[parent_[p]] = q;
    } else {
      left_[parent_[p]] = q;
    }
    parent_[p] = kNil;
  }

  uint8_t ring_[kN + kF - 1];
  int left_[kN + 1];
  int right_[kN + 257];
  int parent_[kN + 1];
  int matchPosition_ = 0;
  int matchLength_ = 0;
  uint8_t group_[17];
  int groupBytes_ = 1;
  uint8_t mask_ = 1;
  Bytes out_;
};

std::map<std::string, size_t> gSizes;

void checkRoundTrip(benchmark::State& state, const Bytes& stream) {
  Bytes decoded(kInputBytes);
  quorvel::LzssReader reader = quorvel::LzssReader::fromMemory(stream.data(), stream.size());
  uint32_t n = quorvel::lzssDecode(reader, nullptr, decoded.data(), kInputBytes);
  if (n != kInputBytes || decoded != original()) state.SkipWithError("stream does not decode");
}

void BM_LzssEncode(benchmark::State& state) {
  const Bytes& in = original();
  Bytes stream;
  for (auto _ : state) {
    stream = quorvel::lzssEncode(in);
    benchmark::DoNotOptimize(stream.data());
  }
  checkRoundTrip(state, stream);
  gSizes["BM_LzssEncode"] = stream.size();
  state.counters["output_bytes"] = static_cast<double>(stream.size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kInputBytes));
}

void BM_GreedyTreeEncode(benchmark::State& state) {
  const Bytes& in = original();
  auto encoder = std::make_unique<GreedyTreeEncoder>();
  Bytes stream;
  for (auto _ : state) {
    stream = encoder->encode(in);
    benchmark::DoNotOptimize(stream.data());
  }
  checkRoundTrip(state, stream);
  gSizes["BM_GreedyTreeEncode"] = stream.size();
  state.counters["output_bytes"] = static_cast<double>(stream.size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kInputBytes));
}

// Five rounds each: the medians are compared.
BENCHMARK(BM_LzssEncode)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_GreedyTreeEncode)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::printf("input: %zu bytes (half 32-bit pictures, half text)\n", original().size());
  quorvel::bench::RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double ours = reporter.rates["BM_LzssEncode"];
  double greedy = reporter.rates["BM_GreedyTreeEncode"];
  size_t oursSize = gSizes["BM_LzssEncode"];
  size_t greedySize = gSizes["BM_GreedyTreeEncode"];
  if (ours > 0 && greedy > 0 && greedySize > 0) {
    std::printf("lzssEncode %.1f MB/s, %zu bytes; greedy tree %.1f MB/s, %zu bytes\n", ours / 1e6,
                oursSize, greedy / 1e6, greedySize);
    std::printf("speed ratio %.2fx, size ratio %.4f (lzssEncode / greedy)\n", ours / greedy,
                static_cast<double>(oursSize) / static_cast<double>(greedySize));
  }
  benchmark::Shutdown();
  return 0;
}
