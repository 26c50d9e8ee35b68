// Decoding speed of run-stream (kind 4) and layered (kinds 64, 68) pictures of 4096 x 4096
// pixels, as output bytes per second, next to memcpy of the same output size in this binary.
// Run: build-bench/run_stream_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only
#include <benchmark/benchmark.h>

#include <array>
#include <cstring>
#include <memory>

#include "decoders/decode_options.h"
#include "decoders/dib.h"
#include "decoders/layered_picture.h"
#include "decoders/run_stream_picture.h"
#include "platform/owned_bytes.h"
#include "tools/writer/layered_samples.h"
#include "tools/writer/px04_writer.h"
#include "tools/writer/px40_writer.h"

namespace {

using namespace quorvel;
using writer::Bytes;

constexpr int kSide = 4096;

const Bytes& runStreamFile() {
  static const Bytes file = [] {
    writer::Px04Picture p;
    p.width = p.height = kSide;
    p.runs = writer::runsFromImage(writer::discImage32(kSide, kSide, 1), kSide, kSide, 4);
    return writer::buildPx04(p);
  }();
  return file;
}

// The disc image with 3 bytes per pixel: its colours without the alpha byte.
Bytes discImage24(int side) {
  Bytes image32 = writer::discImage32(side, side, 2), image;
  for (size_t i = 0; i < image32.size(); i += 4) {
    image.insert(image.end(), image32.begin() + i, image32.begin() + i + 3);
  }
  return image;
}

// A full-canvas layer with a large layer over its middle, of the given depths (24 or 32).
Bytes buildLayered(int backgroundDepth, int middleDepth) {
  writer::Px40Picture p;
  p.canvasWidth = p.canvasHeight = kSide;
  for (auto [side, at, depth] :
       {std::array{kSide, 0, backgroundDepth}, std::array{kSide / 2, kSide / 4, middleDepth}}) {
    Bytes image = depth == 32 ? writer::discImage32(side, side, 2) : discImage24(side);
    p.layers.push_back(
        writer::directLayerFromImage(at, at, side, side, static_cast<uint16_t>(depth), image));
  }
  return writer::buildPx40(p);
}

const Bytes& layeredFile() {
  static const Bytes file = buildLayered(32, 32);
  return file;
}
// Raw output of 24-bit layers: drawn at 24 bits, and again at 32 only when a 32-bit layer follows.
const Bytes& layered24File() {
  static const Bytes file = buildLayered(24, 24);
  return file;
}
const Bytes& layeredMixedFile() {
  static const Bytes file = buildLayered(24, 32);
  return file;
}

// One full-canvas depth-9 layer: an opaque centre and an alpha rim.
const Bytes& indexedFile() {
  static const Bytes file = [] {
    Bytes image = writer::discImage32(kSide, kSide, 3);
    std::vector<writer::IndexedPixel> pixels(static_cast<size_t>(kSide) * kSide);
    for (size_t i = 0; i < pixels.size(); ++i) {
      const uint8_t* px = &image[i * 4];
      pixels[i].covered = px[0] | px[1] | px[2] | px[3];
      pixels[i].opaque = px[3] == 0;
      pixels[i].alpha = px[3];
      pixels[i].index = px[1];
    }
    writer::Px40Picture p;
    p.kind = 68;
    p.canvasWidth = p.canvasHeight = kSide;
    for (int i = 0; i < 256; ++i) {
      p.colours.insert(p.colours.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2), 0});
    }
    writer::Px40Layer layer;
    layer.width = layer.height = kSide;
    layer.depth = 9;
    layer.indexedRuns = writer::indexedRunsFromImage(pixels, kSide, kSide);
    p.layers = {layer};
    return writer::buildPx40(p);
  }();
  return file;
}

// Raw output has 4 bytes per pixel unless every layer is opaque (rawPixelBytes 3).
size_t outputBytes(bool blend, int rawPixelBytes = 4) {
  return static_cast<size_t>(kSide) * kSide * (blend ? 3 : rawPixelBytes);
}

void decode(benchmark::State& state, PictureDecoder& decoder, const Bytes& file,
            int rawPixelBytes = 4) {
  bool blend = state.range(0) != 0;
  DecodeOptions options;
  options.blend = blend;
  for (auto _ : state) {
    DecodedBitmap bitmap;
    ResultCode result =
        decoder.getPicture(file.data(), static_cast<uint32_t>(file.size()), options, bitmap);
    if (result != ResultCode::Success) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(bitmap.pixels.get());
  }
  state.SetBytesProcessed(
      static_cast<int64_t>(state.iterations() * outputBytes(blend, rawPixelBytes)));
}

void BM_RunStream(benchmark::State& state) {
  RunStreamPictureDecoder decoder;
  decode(state, decoder, runStreamFile());
}
void BM_Layered(benchmark::State& state) {
  LayeredPictureDecoder decoder;
  decode(state, decoder, layeredFile());
}
void BM_Layered24(benchmark::State& state) {
  LayeredPictureDecoder decoder;
  decode(state, decoder, layered24File(), 3);
}
void BM_LayeredMixed(benchmark::State& state) {
  LayeredPictureDecoder decoder;
  decode(state, decoder, layeredMixedFile());
}
void BM_LayeredIndexed(benchmark::State& state) {
  LayeredPictureDecoder decoder;
  decode(state, decoder, indexedFile());
}

// The same number of output bytes copied between two blocks already in memory.
void BM_Memcpy(benchmark::State& state) {
  size_t bytes = outputBytes(state.range(0) != 0);
  std::unique_ptr<uint8_t[]> from(new uint8_t[bytes]), to(new uint8_t[bytes]);
  std::memset(from.get(), 1, bytes);
  std::memset(to.get(), 2, bytes);
  for (auto _ : state) {
    std::memcpy(to.get(), from.get(), bytes);
    benchmark::DoNotOptimize(to.get());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

// memcpy into a freshly allocated zero-filled block, as every decode gets one.
void BM_MemcpyFreshBlock(benchmark::State& state) {
  size_t bytes = outputBytes(state.range(0) != 0);
  std::unique_ptr<uint8_t[]> from(new uint8_t[bytes]);
  std::memset(from.get(), 1, bytes);
  for (auto _ : state) {
    OwnedBytes block = allocateBytes(bytes, ByteFill::Zeroed);
    std::memcpy(block.get(), from.get(), bytes);
    benchmark::DoNotOptimize(block.get());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

// Argument: 1 blended (24-bit output), 0 raw (32-bit output).
BENCHMARK(BM_RunStream)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Layered)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Layered24)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LayeredMixed)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LayeredIndexed)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyFreshBlock)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
