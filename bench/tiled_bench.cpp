// Tiled picture decoding (types 0x0B and 0x0C) of a 4096 x 4096 picture, raw (32-bit) and
// blended (24-bit), against a memcpy of the same output size. Output MB/s is bytes_per_second.
//
//   cmake -S . -B build-bench -G Ninja -DQUORVEL_BENCH=ON && ninja -C build-bench tiled_bench
//   build-bench/tiled_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "decoders/decode_options.h"
#include "decoders/tiled_bordered.h"
#include "decoders/tiled_picture_decoder.h"
#include "decoders/tiled_with_colours.h"
#include "platform/owned_bytes.h"
#include "tools/writer/tiled_writer.h"

namespace {

using quorvel::writer::Bytes;
using quorvel::writer::TiledFamily;
using quorvel::writer::TiledFile;
using quorvel::writer::TileRecord;

constexpr int kSide = 4096;
constexpr int kEdge = 32;

// Every cell its own stored tile, except one in eight solid (type 0x0B) and one in eight empty.
// Three pixels in four are opaque, the rest partly transparent.
const Bytes& pictureFile(TiledFamily family) {
  static Bytes files[2];
  Bytes& file = files[family == TiledFamily::WithColours ? 0 : 1];
  if (!file.empty()) return file;
  TiledFile tiled;
  tiled.family = family;
  tiled.tileEdge = kEdge;
  tiled.width = tiled.height = kSide;
  tiled.tilesAcross = tiled.tilesDown = kSide / kEdge;
  tiled.colours = {0xFF204080u, 0x80FFFFFFu};
  std::vector<int16_t> entries;
  Bytes pixels(kEdge * kEdge * 4);
  for (size_t i = 0; i < pixels.size(); ++i) {
    pixels[i] = (i % 4 == 3) ? ((i / 4) % 4 == 0 ? uint8_t(i * 7) : 255) : uint8_t(i * 13);
  }
  for (int cell = 0; cell < (kSide / kEdge) * (kSide / kEdge); ++cell) {
    if (cell % 8 == 3) {
      entries.push_back(0);
    } else if (cell % 8 == 5 && family == TiledFamily::WithColours) {
      entries.push_back(int16_t(-1 - cell % 2));
    } else if (tiled.records.size() < 32767) {
      tiled.records.push_back(TileRecord{kEdge, kEdge, pixels});
      entries.push_back(int16_t(tiled.records.size()));
    } else {
      entries.push_back(int16_t(1 + cell % 32767));  // index entries are 16-bit: reuse records
    }
  }
  tiled.images = {entries};
  file = quorvel::writer::writeTiled(tiled);
  return file;
}

template <typename Decoder>
void decodePicture(benchmark::State& state, TiledFamily family, bool blended) {
  const Bytes& file = pictureFile(family);
  quorvel::DecodeOptions options;
  options.blend = blended;
  Decoder decoder;
  for (auto _ : state) {
    quorvel::DecodedBitmap bitmap;
    auto result = decoder.getPicture(file.data(), uint32_t(file.size()), options, bitmap);
    if (result != quorvel::ResultCode::Success) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(bitmap.pixels.get());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kSide * kSide * (blended ? 3 : 4));
}

// The renderers alone, drawing into one band that is reused (its pages already touched), to be
// set against the plain memcpy.
void renderWarm(benchmark::State& state, TiledFamily family, bool blended) {
  const Bytes& bytes = pictureFile(family);
  const int pixelBytes = blended ? 3 : 4;
  std::vector<uint8_t> band(size_t(kSide) * kSide * pixelBytes, 0);
  quorvel::ByteView file(bytes.data(), bytes.size());
  quorvel::TiledLayout layout;
  bool read = family == TiledFamily::WithColours ? quorvel::readTiledWithColoursLayout(file, layout)
                                                 : quorvel::readTiledBorderedLayout(file, layout);
  if (!read) state.SkipWithError("bad layout");
  quorvel::ByteView records(bytes.data() + layout.records, bytes.size() - layout.records);
  const quorvel::DecodeOptions options;
  quorvel::TileBand view{band.data(), band.size(), size_t(kSide) * pixelBytes,
                         kSide,       kSide,       options.background};
  using Renderer =
      uint64_t (*)(const quorvel::TileBand&, quorvel::ByteView, quorvel::ByteView, uint64_t);
  Renderer render =
      family == TiledFamily::WithColours
          ? (blended ? quorvel::renderTiledWithColoursBlended : quorvel::renderTiledWithColoursRaw)
          : (blended ? quorvel::renderTiledBorderedBlended : quorvel::renderTiledBorderedRaw);
  for (auto _ : state) {
    if (render(view, records, file, layout.firstIndex) == quorvel::kBadTiles) {
      state.SkipWithError("render failed");
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(band.size()));
}

void copyOutputSize(benchmark::State& state, int bytesPerPixel) {
  std::vector<uint8_t> from(size_t(kSide) * kSide * bytesPerPixel, 1);
  std::vector<uint8_t> to(from.size(), 0);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(from.size()));
}

// The decoders write into a fresh zero-filled block on every call, so the kernel's first-touch
// cost of those pages is part of their time: this copies into a fresh block the same way.
void copyIntoFreshBlock(benchmark::State& state, int bytesPerPixel) {
  std::vector<uint8_t> from(size_t(kSide) * kSide * bytesPerPixel, 1);
  for (auto _ : state) {
    quorvel::OwnedBytes block = quorvel::allocateBytes(from.size(), quorvel::ByteFill::Zeroed);
    std::memcpy(block.get(), from.data(), from.size());
    benchmark::DoNotOptimize(block.get());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(from.size()));
}

void TiledWithColoursRaw(benchmark::State& s) {
  decodePicture<quorvel::TiledWithColoursDecoder>(s, TiledFamily::WithColours, false);
}
void TiledWithColoursBlended(benchmark::State& s) {
  decodePicture<quorvel::TiledWithColoursDecoder>(s, TiledFamily::WithColours, true);
}
void TiledBorderedRaw(benchmark::State& s) {
  decodePicture<quorvel::TiledBorderedDecoder>(s, TiledFamily::Bordered, false);
}
void TiledBorderedBlended(benchmark::State& s) {
  decodePicture<quorvel::TiledBorderedDecoder>(s, TiledFamily::Bordered, true);
}
void MemcpyRawSize(benchmark::State& s) {
  copyOutputSize(s, 4);
}
void MemcpyBlendedSize(benchmark::State& s) {
  copyOutputSize(s, 3);
}
void MemcpyFreshRawSize(benchmark::State& s) {
  copyIntoFreshBlock(s, 4);
}
void MemcpyFreshBlendedSize(benchmark::State& s) {
  copyIntoFreshBlock(s, 3);
}

void TiledWithColoursRenderRawWarm(benchmark::State& s) {
  renderWarm(s, TiledFamily::WithColours, false);
}
void TiledBorderedRenderRawWarm(benchmark::State& s) {
  renderWarm(s, TiledFamily::Bordered, false);
}
void TiledWithColoursRenderBlendedWarm(benchmark::State& s) {
  renderWarm(s, TiledFamily::WithColours, true);
}
void TiledBorderedRenderBlendedWarm(benchmark::State& s) {
  renderWarm(s, TiledFamily::Bordered, true);
}

BENCHMARK(MemcpyRawSize)->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpyFreshRawSize)->Unit(benchmark::kMillisecond);
BENCHMARK(TiledWithColoursRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(TiledBorderedRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(TiledWithColoursRenderRawWarm)->Unit(benchmark::kMillisecond);
BENCHMARK(TiledBorderedRenderRawWarm)->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpyBlendedSize)->Unit(benchmark::kMillisecond);
BENCHMARK(MemcpyFreshBlendedSize)->Unit(benchmark::kMillisecond);
BENCHMARK(TiledWithColoursBlended)->Unit(benchmark::kMillisecond);
BENCHMARK(TiledBorderedBlended)->Unit(benchmark::kMillisecond);
BENCHMARK(TiledWithColoursRenderBlendedWarm)->Unit(benchmark::kMillisecond);
BENCHMARK(TiledBorderedRenderBlendedWarm)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
