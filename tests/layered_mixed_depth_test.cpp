// Layered pictures whose direct-colour layers mix 24 and 32 bits. Blended, the canvas has 24 bits
// and each layer is read by its own depth; with kept alpha it has 32 bits as soon as one layer
// has 32, and the 24-bit layers' pixels are opaque. Other mixtures are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "decoders/layered_picture.h"
#include "tests/support/decoded_picture.h"
#include "tests/support/layered_model.h"
#include "tools/writer/px40_writer.h"

namespace quorvel {
namespace {

using test::blendOptions;
using test::DecodedPicture;
using test::ImageLayer;
using writer::Bytes;

// Stored pixels of 24 or 32 bits with holes; the alpha bytes of 32-bit pixels are of every kind:
// 0 (opaque), small, 64, 128 and above (top bit set).
Bytes testImage(int width, int height, int depth, int seed) {
  static const uint8_t kAlpha[] = {0, 1, 64, 127, 128, 200, 255};
  Bytes image;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      bool hole = (x * 3 + y * 5 + seed) % 6 == 0;
      int v = x * 41 + y * 13 + seed * 17;
      uint8_t pixel[4] = {static_cast<uint8_t>(v % 255 + 1), static_cast<uint8_t>(255 - v),
                          static_cast<uint8_t>(v * 3), kAlpha[(x + y + seed) % 7]};
      if (hole) std::fill(pixel, pixel + 4, 0);
      image.insert(image.end(), pixel, pixel + depth / 8);
    }
  }
  return image;
}

ImageLayer testLayer(int x, int y, int width, int height, int depth, int seed) {
  return {x, y, width, height, testImage(width, height, depth, seed), depth};
}

Bytes buildPicture(int width, int height, const std::vector<ImageLayer>& layers) {
  return writer::buildPx40(test::imageLayersPicture(width, height, layers));
}

// The bits block the layers paint: bottom-up rows padded to 4 bytes.
Bytes expectedBits(int width, int height, const std::vector<ImageLayer>& layers, int outBytes) {
  size_t rowBytes = (static_cast<size_t>(width) * outBytes + 3) & ~size_t{3};
  Bytes bits(rowBytes * height, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      test::paintedPixel(layers, x, y, outBytes, &bits[(height - 1 - y) * rowBytes + x * outBytes]);
    }
  }
  return bits;
}

DecodedPicture decode(const Bytes& file, const DecodeOptions& options = {}) {
  LayeredPictureDecoder decoder;
  return test::decodePicture(decoder, file, options);
}

int reportedDepth(const Bytes& file, const DecodeOptions& options) {
  LayeredPictureDecoder decoder;
  PictureInfo info{};
  EXPECT_EQ(decoder.getPictureInfo(file.data(), static_cast<uint32_t>(file.size()), options, &info),
            ResultCode::Success);
  return info.bitDepth;
}

// Converts blended and raw and compares every byte with the painted canvas.
void expectPainted(int width, int height, const std::vector<ImageLayer>& layers, int rawBits) {
  Bytes file = buildPicture(width, height, layers);
  for (bool blend : {true, false}) {
    const DecodeOptions setting = blendOptions(blend);
    int bitCount = blend ? 24 : rawBits;
    DecodedPicture out = decode(file, setting);
    ASSERT_EQ(out.result, ResultCode::Success) << (blend ? "blended" : "raw");
    EXPECT_EQ(out.header.biBitCount, bitCount) << (blend ? "blended" : "raw");
    EXPECT_EQ(out.infoBytes, 40u);
    EXPECT_EQ(out.bits, expectedBits(width, height, layers, bitCount / 8))
        << (blend ? "blended" : "raw");
    EXPECT_EQ(reportedDepth(file, setting), bitCount) << (blend ? "blended" : "raw");
  }
}

TEST(LayeredMixedDepths, WorkedBytesForBothOrders) {
  // 24-bit first: (10,20,30) and (40,50,60), then a 32-bit pixel with alpha 64 over the second.
  writer::Px40Layer opaque;
  opaque.width = 2;
  opaque.height = 1;
  opaque.depth = 24;
  opaque.runs = {writer::directRun(0, 0, {10, 20, 30, 40, 50, 60})};
  writer::Px40Layer alpha;
  alpha.width = alpha.height = 1;
  alpha.x = 1;
  alpha.runs = {writer::directRun(0, 0, {200, 100, 50, 64})};
  writer::Px40Picture p;
  p.canvasWidth = 2;
  p.canvasHeight = 1;
  p.layers = {opaque, alpha};
  Bytes file = writer::buildPx40(p);
  {
    const DecodeOptions blend = blendOptions(true);
    EXPECT_EQ(decode(file, blend).bits, (Bytes{10, 20, 30, 100, 50, 25, 0, 0}));
  }
  {
    const DecodeOptions raw = blendOptions(false);
    EXPECT_EQ(decode(file, raw).bits, (Bytes{10, 20, 30, 255, 200, 100, 50, 128}));
  }
  // 32-bit first, then a 24-bit layer whose covered black pixel stays opaque and whose uncovered
  // pixel erases what was under it.
  alpha.x = 0;
  alpha.width = 2;
  alpha.runs = {writer::directRun(0, 0, {1, 2, 3, 0, 4, 5, 6, 0})};
  opaque.x = 1;
  opaque.runs = {writer::directRun(0, 0, {0, 0, 0})};
  p.canvasWidth = 3;
  p.layers = {alpha, opaque};
  file = writer::buildPx40(p);
  {
    const DecodeOptions blend = blendOptions(true);
    EXPECT_EQ(decode(file, blend).bits, (Bytes{1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  }
  const DecodeOptions raw = blendOptions(false);
  EXPECT_EQ(decode(file, raw).bits, (Bytes{1, 2, 3, 255, 0, 0, 0, 255, 0, 0, 0, 0}));
}

TEST(LayeredMixedDepths, OpaqueBackgroundUnderAlphaLayers) {
  // Odd width (padded 24-bit rows); layers overlap and hang off every edge.
  expectPainted(7, 5,
                {testLayer(0, 0, 7, 5, 24, 1), testLayer(-1, -1, 4, 3, 32, 2),
                 testLayer(5, 3, 3, 3, 24, 3), testLayer(2, 2, 2, 2, 32, 4)},
                32);
}

TEST(LayeredMixedDepths, AlphaBackgroundUnderOpaqueLayers) {
  expectPainted(6, 5,
                {testLayer(0, 0, 6, 5, 32, 5), testLayer(1, -2, 3, 4, 24, 6),
                 testLayer(4, 1, 4, 4, 32, 7), testLayer(-2, 3, 5, 1, 24, 8)},
                32);
}

TEST(LayeredMixedDepths, AlphaLayerAfterSeveralOpaqueOnesStillGivesAlpha) {
  // The raw canvas's depth shows only past the earlier layers' streams (fillers and empty runs
  // included): getPictureInfo walks them, getPicture draws them and then draws again at 32 bits.
  std::vector<ImageLayer> layers = {testLayer(0, 0, 5, 4, 24, 1), testLayer(1, 1, 3, 2, 24, 2),
                                    testLayer(0, 2, 5, 2, 24, 3), testLayer(3, 0, 2, 2, 32, 4)};
  writer::Px40Picture p = test::imageLayersPicture(5, 4, layers);
  for (writer::Px40Layer& layer : p.layers) {
    layer.runs[1].fillersBefore = 2;
    layer.runs.push_back(writer::directRun(0, 0, {}));
  }
  const DecodeOptions raw = blendOptions(false);
  DecodedPicture out = decode(writer::buildPx40(p), raw);
  ASSERT_EQ(out.result, ResultCode::Success);
  EXPECT_EQ(out.header.biBitCount, 32);
  EXPECT_EQ(out.bits, expectedBits(5, 4, layers, 4));
  expectPainted(5, 4, layers, 32);
}

// Layers are drawn straight onto the canvas: on untouched parts as they are, over earlier layers
// after their rectangle is cleared (holes included), partly or wholly off the canvas clipped.
TEST(LayeredMixedDepths, LayersOnUntouchedOverlappingAndOffCanvasParts) {
  expectPainted(13, 11,
                {testLayer(0, 0, 6, 5, 32, 1), testLayer(7, 6, 6, 5, 32, 2),
                 testLayer(4, 3, 5, 5, 32, 3), testLayer(-2, 8, 4, 6, 32, 4),
                 testLayer(10, -3, 5, 5, 32, 5), testLayer(20, 20, 2, 2, 32, 6),
                 testLayer(1, 1, 11, 9, 32, 7), testLayer(12, 0, 1, 11, 32, 8)},
                32);
  expectPainted(
      9, 7,
      {testLayer(0, 0, 9, 7, 24, 1), testLayer(3, 2, 3, 3, 32, 2), testLayer(6, 4, 4, 4, 24, 3)},
      32);
}

TEST(LayeredMixedDepths, OpaqueLayersAloneKeepTwentyFourBitsRaw) {
  expectPainted(5, 3, {testLayer(0, 0, 5, 3, 24, 1), testLayer(2, 1, 4, 4, 24, 2)}, 24);
}

TEST(LayeredMixedDepths, OtherMixturesAreRefusedWithBothOutputsNull) {
  // Layers without runs: nothing but their depths can make the picture fail.
  auto layers = [](uint16_t kind, std::vector<uint16_t> depths) {
    writer::Px40Picture p;
    p.kind = kind;
    p.canvasWidth = p.canvasHeight = 2;
    if (kind == 68) p.colours = {1, 2, 3, 0, 4, 5, 6, 0};
    for (uint16_t depth : depths) {
      writer::Px40Layer layer;
      layer.width = layer.height = 2;
      layer.depth = depth;
      p.layers.push_back(layer);
    }
    return writer::buildPx40(p);
  };
  auto refused = [](const Bytes& file, const char* what) {
    for (bool blend : {true, false}) {
      const DecodeOptions setting = blendOptions(blend);
      DecodedPicture out = decode(file, setting);
      EXPECT_EQ(out.result, ResultCode::UnknownFormat) << what << (blend ? " blended" : " raw");
      EXPECT_FALSE(out.infoHanded || out.bitsHanded) << what;
    }
  };
  EXPECT_EQ(decode(layers(64, {24, 32, 24, 32})).result, ResultCode::Success);
  refused(layers(64, {16, 24}), "16 then 24");
  refused(layers(64, {24, 16}), "24 then 16");
  refused(layers(64, {32, 16}), "32 then 16");
  refused(layers(64, {16, 32}), "16 then 32");
  refused(layers(64, {24, 32, 16, 32}), "a 16-bit layer between");
  refused(layers(64, {24, 8}), "kind 64 with an indexed layer after a 24-bit one");
  refused(layers(64, {32, 9}), "kind 64 with an indexed layer after a 32-bit one");
  // Kind 68: indexed layers of depth 8 and 9 mix neither with each other nor with direct colour.
  EXPECT_EQ(decode(layers(68, {9, 9})).result, ResultCode::Success);
  refused(layers(68, {8, 24}), "8 then 24");
  refused(layers(68, {9, 32}), "9 then 32");
  refused(layers(68, {8, 9}), "8 then 9");
  refused(layers(68, {9, 8}), "9 then 8");
}

TEST(LayeredMixedDepths, DamageBeforeTheAlphaLayerIsStillRefused) {
  std::vector<ImageLayer> layers = {testLayer(0, 0, 4, 3, 24, 1), testLayer(0, 0, 4, 3, 24, 2),
                                    testLayer(1, 1, 2, 2, 32, 3)};
  writer::Px40Picture p = test::imageLayersPicture(4, 3, layers);
  for (int damage = 0; damage < 2; ++damage) {
    writer::Px40Picture bad = p;
    if (damage == 0) {
      bad.layers[1].runs[0].count = -1;  // the stream cannot be walked past
    } else {
      bad.layers[1].runs[0].columnAdvance = -100;  // walks, but the run starts before the layer
    }
    for (bool blend : {true, false}) {
      const DecodeOptions setting = blendOptions(blend);
      DecodedPicture out = decode(writer::buildPx40(bad), setting);
      EXPECT_EQ(out.result, ResultCode::UnknownFormat) << damage << blend;
      EXPECT_FALSE(out.infoHanded || out.bitsHanded) << damage << blend;
    }
  }
}

}  // namespace
}  // namespace quorvel
