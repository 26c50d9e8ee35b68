#include "decoders/layered_picture.h"

#include <gtest/gtest.h>

#include <array>

#include "decoders/indexed_runs.h"
#include "tests/support/decoded_picture.h"
#include "tools/writer/px40_writer.h"

namespace quorvel {
namespace {

using test::blendOptions;
using test::DecodedPicture;
using test::decodePicture;
using writer::buildPx40;
using writer::Bytes;
using writer::DirectRun;
using writer::indexedControlWord;
using writer::IndexedRun;
using writer::Px40Layer;
using writer::Px40Picture;

DirectRun run(int rows, int columns, Bytes pixels) {
  return writer::directRun(rows, columns, std::move(pixels));
}

Px40Layer layer(int width, int height, int x, int y, std::vector<DirectRun> runs,
                uint16_t depth = 32) {
  Px40Layer l;
  l.width = width;
  l.height = height;
  l.x = x;
  l.y = y;
  l.depth = depth;
  l.runs = std::move(runs);
  return l;
}

Px40Picture picture(int width, int height, std::vector<Px40Layer> layers, uint16_t kind = 64) {
  Px40Picture p;
  p.kind = kind;
  p.canvasWidth = width;
  p.canvasHeight = height;
  p.layers = std::move(layers);
  return p;
}

// A layer completely covered by the pixels of a top-down image.
Px40Layer solidLayer(int width, int height, int x, int y, const Bytes& pixel) {
  Bytes image;
  for (int i = 0; i < width * height; ++i) image.insert(image.end(), pixel.begin(), pixel.end());
  return layer(width, height, x, y,
               writer::runsFromImage(image, width, height, static_cast<int>(pixel.size())));
}

DecodedPicture decode(const Bytes& file, const DecodeOptions& options = {}) {
  LayeredPictureDecoder decoder;
  return decodePicture(decoder, file, options);
}

TEST(LayeredPictureDecoder, DirectColourLayerBlendsTowardBlackOrRewritesTheAlpha) {
  Bytes pixels = {200, 100, 50, 0, 200, 100, 50, 64, 200, 100, 50, 1, 200, 100, 50, 128};
  Bytes file = buildPx40(picture(4, 1, {layer(4, 1, 0, 0, {run(0, 0, pixels)})}));
  {
    const DecodeOptions blend = blendOptions(true);
    DecodedPicture out = decode(file, blend);
    ASSERT_EQ(out.result, ResultCode::Success);
    EXPECT_EQ(out.header.biBitCount, 24);
    EXPECT_EQ(out.infoBytes, 40u);
    EXPECT_EQ(out.bits, (Bytes{200, 100, 50, 100, 50, 25, 1, 0, 0, 200, 100, 50}));
  }
  const DecodeOptions raw = blendOptions(false);
  DecodedPicture out = decode(file, raw);
  ASSERT_EQ(out.result, ResultCode::Success);
  EXPECT_EQ(out.header.biBitCount, 32);
  EXPECT_EQ(out.bits,
            (Bytes{200, 100, 50, 255, 200, 100, 50, 128, 200, 100, 50, 2, 200, 100, 50, 0}));
}

TEST(LayeredPictureDecoder, NegativeColumnAdvanceMovesBackWithinTheLayer) {
  const DecodeOptions raw = blendOptions(false);
  // (1,0), then one row down and two columns back: the start of the next row.
  Bytes file = buildPx40(
      picture(3, 3, {layer(3, 3, 0, 0, {run(0, 1, {1, 1, 1, 1}), run(1, -2, {2, 2, 2, 2})})}));
  DecodedPicture out = decode(file, raw);
  ASSERT_EQ(out.result, ResultCode::Success);
  EXPECT_EQ(out.pixelBytes(1, 0), (Bytes{1, 1, 1, 2}));
  EXPECT_EQ(out.pixelBytes(0, 1), (Bytes{2, 2, 2, 4}));
  EXPECT_EQ(out.pixelBytes(2, 0), (Bytes{0, 0, 0, 0}));
}

TEST(LayeredPictureDecoder, LaterLayersReplaceTheirWholeRectangle) {
  const DecodeOptions blend = blendOptions(true);
  const Bytes x = {9, 9, 9, 0}, p = {5, 6, 7, 0};
  // An opaque 4x4 layer, then a 2x2 layer at (1,1) whose only pixel is its bottom right.
  Bytes file =
      buildPx40(picture(4, 4, {solidLayer(4, 4, 0, 0, x), layer(2, 2, 1, 1, {run(1, 1, p)})}));
  DecodedPicture out = decode(file, blend);
  ASSERT_EQ(out.result, ResultCode::Success);
  EXPECT_EQ(out.pixelBytes(2, 2), (Bytes{5, 6, 7}));
  for (auto [c, r] : {std::pair{1, 1}, {2, 1}, {1, 2}}) {
    EXPECT_EQ(out.pixelBytes(c, r), (Bytes{0, 0, 0})) << c << "," << r;
  }
  for (auto [c, r] : {std::pair{0, 0}, {3, 3}, {3, 1}, {0, 3}}) {
    EXPECT_EQ(out.pixelBytes(c, r), (Bytes{9, 9, 9})) << c << "," << r;
  }
}

TEST(LayeredPictureDecoder, LargerSecondLayerDecodesFullyFromAClearedBuffer) {
  const DecodeOptions blend = blendOptions(true);
  const Bytes x = {9, 9, 9, 0}, p = {5, 6, 7, 0};
  Bytes file = buildPx40(picture(4, 4,
                                 {solidLayer(2, 2, 0, 0, x), layer(4, 4, 0, 0, {run(3, 3, p)}),
                                  solidLayer(1, 1, 3, 0, x), layer(3, 3, 0, 0, {})}));
  DecodedPicture out = decode(file, blend);
  ASSERT_EQ(out.result, ResultCode::Success);
  EXPECT_EQ(out.pixelBytes(3, 3), (Bytes{5, 6, 7}));
  EXPECT_EQ(out.pixelBytes(3, 0), (Bytes{9, 9, 9}));
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(out.pixelBytes(c, r), (Bytes{0, 0, 0}));
  }
}

TEST(LayeredPictureDecoder, LayersLeavingTheCanvasAreClipped) {
  const DecodeOptions raw = blendOptions(false);
  Bytes image;
  for (uint8_t i = 1; i <= 9; ++i) image.insert(image.end(), {i, i, i, 0});
  Px40Layer nine = layer(3, 3, -1, -1, writer::runsFromImage(image, 3, 3, 4));
  Px40Layer outside = solidLayer(2, 2, 7, -40, {1, 1, 1, 1});
  DecodedPicture out = decode(buildPx40(picture(2, 2, {outside, nine})), raw);
  ASSERT_EQ(out.result, ResultCode::Success);
  EXPECT_EQ(out.bits, (Bytes{8, 8, 8, 255, 9, 9, 9, 255, 5, 5, 5, 255, 6, 6, 6, 255}));
  // Whole rows of the layer fall off above and below the canvas.
  Px40Layer tall = layer(2, 4, 0, -1, writer::runsFromImage(image, 2, 4, 4));
  out = decode(buildPx40(picture(2, 2, {tall})), raw);
  ASSERT_EQ(out.result, ResultCode::Success);
  EXPECT_EQ(out.bits, (Bytes{5, 5, 5, 255, 6, 6, 6, 255, 3, 3, 3, 255, 4, 4, 4, 255}));
  nine.x = nine.y = 1;
  out = decode(buildPx40(picture(2, 2, {nine})), raw);
  ASSERT_EQ(out.result, ResultCode::Success);
  EXPECT_EQ(out.bits, (Bytes{0, 0, 0, 0, 1, 1, 1, 255, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(LayeredPictureDecoder, SixteenAndTwentyFourBitLayersAreCopiedIntoPaddedRows) {
  Bytes file =
      buildPx40(picture(3, 1, {layer(3, 1, 0, 0, {run(0, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9})}, 24)}));
  DecodedPicture out = decode(file);
  ASSERT_EQ(out.result, ResultCode::Success);
  EXPECT_EQ(out.header.biBitCount, 24);
  EXPECT_EQ(out.bits, (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0}));
  file = buildPx40(picture(3, 1, {layer(3, 1, 0, 0, {run(0, 1, {1, 2, 3, 4})}, 16)}));
  out = decode(file);
  ASSERT_EQ(out.result, ResultCode::Success);
  EXPECT_EQ(out.header.biBitCount, 16);
  EXPECT_EQ(out.bits, (Bytes{0, 0, 1, 2, 3, 4, 0, 0}));
}

TEST(LayeredPictureDecoder, EightBitLayersUseTheFilesColourTable) {
  Px40Picture p = picture(2, 2, {layer(2, 2, 0, 0, {run(0, 0, {2, 0, 1})}, 8)}, 68);
  p.colours = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
  DecodedPicture out = decode(buildPx40(p));
  ASSERT_EQ(out.result, ResultCode::Success);
  EXPECT_EQ(out.header.biBitCount, 8);
  EXPECT_EQ(out.infoBytes, 1064u);
  Bytes palette = p.colours;
  palette.resize(1024, 0);
  EXPECT_EQ(out.palette, palette);
  EXPECT_EQ(out.bits, (Bytes{1, 0, 0, 0, 2, 0, 0, 0}));
}

TEST(LayeredPictureDecoder, ColourCountsAbove256AreClippedToWhatAByteCanIndex) {
  Px40Picture p = picture(1, 1, {layer(1, 1, 0, 0, {run(0, 0, {255})}, 8)}, 68);
  for (int i = 0; i < 300; ++i) p.colours.insert(p.colours.end(), {uint8_t(i), 1, 2, 3});
  DecodedPicture out = decode(buildPx40(p));
  ASSERT_EQ(out.result, ResultCode::Success);
  EXPECT_EQ(out.palette, Bytes(p.colours.begin(), p.colours.begin() + 1024));
  EXPECT_EQ(out.bits, (Bytes{255, 0, 0, 0}));
}

TEST(LayeredPictureDecoder, IndexedControlWordsSplitIntoTheirFields) {
  auto a = splitIndexedControl(0xFFC00603);
  EXPECT_EQ(a.rowAdvance, 3);
  EXPECT_EQ(a.columnAdvance, -2);
  EXPECT_EQ(a.count, 3);
  EXPECT_FALSE(a.toggle);
  auto b = splitIndexedControl(0xFFC80603);
  EXPECT_EQ(b.rowAdvance, 3);
  EXPECT_EQ(b.columnAdvance, -2);
  EXPECT_EQ(b.count, 3);
  EXPECT_TRUE(b.toggle);
  auto c = splitIndexedControl(0x00200105);  // bit 8 is not part of the count
  EXPECT_EQ(c.rowAdvance, 5);
  EXPECT_EQ(c.columnAdvance, 1);
  EXPECT_EQ(c.count, 0);
  EXPECT_FALSE(c.toggle);
  auto d = splitIndexedControl(indexedControlWord(255, -1024, true, 1023));
  EXPECT_EQ(d.rowAdvance, 255);
  EXPECT_EQ(d.columnAdvance, -1024);
  EXPECT_EQ(d.count, 1023);
}

// Depth-9 layers: colours 1 = (40,80,120), 2 = (200,150,100), 3 = (10,20,30).
Px40Picture indexedAlphaPicture() {
  auto word = [](uint32_t w, Bytes pixels) {
    IndexedRun r;
    r.word = w;
    r.pixels = std::move(pixels);
    return r;
  };
  Px40Layer first;
  first.width = 8;
  first.height = 16;
  first.depth = 9;
  first.indexedRuns = {
      word(indexedControlWord(0, 0, false, 2), {0xC0, 1, 0x00, 2}),  // alpha 64 (top bit off)
      word(0xFFC80603, {1, 2, 3}),                        // to opaque; 3 rows down, 2 back: (0,3)
      word(0xFFC00603, {3, 2, 1}),                        // still opaque: (1,6)
      word(0x00200105, {}),                               // 5 rows, 1 column: (5,11), no pixel
      word(indexedControlWord(0, 0, true, 1), {127, 2}),  // back to alpha mode
  };
  Px40Layer second;  // a new layer starts in alpha mode again
  second.width = second.height = 1;
  second.x = 7;
  second.depth = 9;
  second.indexedRuns = {word(indexedControlWord(0, 0, false, 1), {32, 3})};
  Px40Picture p = picture(8, 16, {first, second}, 68);
  p.colours = {0, 0, 0, 0, 40, 80, 120, 7, 200, 150, 100, 9, 10, 20, 30, 0};
  return p;
}

TEST(LayeredPictureDecoder, IndexedAlphaLayersToggleBetweenTheirPixelModes) {
  Bytes file = buildPx40(indexedAlphaPicture());
  {
    const DecodeOptions blend = blendOptions(true);
    DecodedPicture out = decode(file, blend);
    ASSERT_EQ(out.result, ResultCode::Success);
    EXPECT_EQ(out.header.biBitCount, 24);
    EXPECT_EQ(out.infoBytes, 40u);
    EXPECT_EQ(out.pixelBytes(0, 0), (Bytes{20, 40, 60}));
    EXPECT_EQ(out.pixelBytes(1, 0), (Bytes{0, 0, 0}));  // alpha 0: black
    EXPECT_EQ(out.pixelBytes(0, 3), (Bytes{40, 80, 120}));
    EXPECT_EQ(out.pixelBytes(1, 3), (Bytes{200, 150, 100}));
    EXPECT_EQ(out.pixelBytes(2, 3), (Bytes{10, 20, 30}));
    EXPECT_EQ(out.pixelBytes(1, 6), (Bytes{10, 20, 30}));
    EXPECT_EQ(out.pixelBytes(3, 6), (Bytes{40, 80, 120}));
    EXPECT_EQ(out.pixelBytes(5, 11),
              (Bytes{scaleChannel(200, 127), scaleChannel(150, 127), scaleChannel(100, 127)}));
    EXPECT_EQ(out.pixelBytes(7, 0), (Bytes{2, 5, 7}));
    EXPECT_EQ(out.pixelBytes(4, 11), (Bytes{0, 0, 0}));
  }
  const DecodeOptions raw = blendOptions(false);
  DecodedPicture out = decode(file, raw);
  ASSERT_EQ(out.result, ResultCode::Success);
  EXPECT_EQ(out.header.biBitCount, 32);
  EXPECT_EQ(out.pixelBytes(0, 0), (Bytes{40, 80, 120, 128}));
  EXPECT_EQ(out.pixelBytes(1, 0), (Bytes{200, 150, 100, 0}));
  EXPECT_EQ(out.pixelBytes(0, 3), (Bytes{40, 80, 120, 255}));
  EXPECT_EQ(out.pixelBytes(3, 6), (Bytes{40, 80, 120, 255}));
  EXPECT_EQ(out.pixelBytes(5, 11), (Bytes{200, 150, 100, 254}));
  EXPECT_EQ(out.pixelBytes(7, 0), (Bytes{10, 20, 30, 64}));
  EXPECT_EQ(out.pixelBytes(6, 11), (Bytes{0, 0, 0, 0}));
}

// Straight output (a PNG with -raw) turns the 7-bit alphas of alpha-mode pixels into opacities to
// the nearest 8-bit value, a / 128 of 255: 64 is 128, 127 is 253 (not 254, as raw output's
// doubling gives), 32 is 64; alpha 0 and pixels no layer covers are transparent, opaque-mode
// pixels opaque.
TEST(LayeredPictureDecoder, IndexedAlphaLayersGiveTheNearestEightBitOpacityWhenStraight) {
  DecodedPicture out = test::decodePicture(decodeLayeredPicture, buildPx40(indexedAlphaPicture()),
                                           AlphaOutput::Straight);
  ASSERT_EQ(out.result, ResultCode::Success);
  ASSERT_EQ(out.header.biBitCount, 32);
  EXPECT_EQ(out.pixelBytes(0, 0), (Bytes{40, 80, 120, 128}));
  EXPECT_EQ(out.pixelBytes(1, 0)[3], 0);
  EXPECT_EQ(out.pixelBytes(0, 3), (Bytes{40, 80, 120, 255}));
  EXPECT_EQ(out.pixelBytes(5, 11), (Bytes{200, 150, 100, 253}));
  EXPECT_EQ(out.pixelBytes(7, 0), (Bytes{10, 20, 30, 64}));
  EXPECT_EQ(out.pixelBytes(6, 11)[3], 0);
}

TEST(LayeredPictureDecoder, WideIndexedLayersReachFarPixelsThroughRunsWithoutPixels) {
  // Column distances beyond -1024..1023 and row distances beyond 255 need extra control words.
  const int w = 3000, h = 600;
  std::vector<writer::IndexedPixel> image(static_cast<size_t>(w) * h);
  auto put = [&](int x, int y, bool opaque) {
    writer::IndexedPixel& px = image[static_cast<size_t>(y) * w + x];
    px = writer::IndexedPixel{true, opaque, 127, 1};
  };
  put(2500, 0, true);
  put(10, 1, false);
  put(2999, 580, true);
  Px40Picture p = picture(w, h, {}, 68);
  p.colours = {0, 0, 0, 0, 9, 8, 7, 0};
  Px40Layer l;
  l.width = w;
  l.height = h;
  l.depth = 9;
  l.indexedRuns = writer::indexedRunsFromImage(image, w, h);
  p.layers = {l};
  const DecodeOptions raw = blendOptions(false);
  DecodedPicture out = decode(buildPx40(p), raw);
  ASSERT_EQ(out.result, ResultCode::Success);
  EXPECT_EQ(out.pixelBytes(2500, 0), (Bytes{9, 8, 7, 255}));
  EXPECT_EQ(out.pixelBytes(10, 1), (Bytes{9, 8, 7, 254}));
  EXPECT_EQ(out.pixelBytes(2999, 580), (Bytes{9, 8, 7, 255}));
  size_t lit = 0;
  for (size_t i = 3; i < out.bits.size(); i += 4) lit += out.bits[i] != 0;
  EXPECT_EQ(lit, 3u);
}

TEST(LayeredPictureDecoder, IndexesBeyondTheStoredColoursReadAsBlack) {
  Px40Picture p = indexedAlphaPicture();
  p.colours.resize(8);  // colours 0 and 1 only
  const DecodeOptions raw = blendOptions(false);
  DecodedPicture out = decode(buildPx40(p), raw);
  ASSERT_EQ(out.result, ResultCode::Success);
  EXPECT_EQ(out.pixelBytes(0, 0), (Bytes{40, 80, 120, 128}));
  EXPECT_EQ(out.pixelBytes(1, 3), (Bytes{0, 0, 0, 255}));
  EXPECT_EQ(out.pixelBytes(7, 0), (Bytes{0, 0, 0, 64}));
}

TEST(LayeredPictureDecoder, RefusesCanvasSidesOutsideOneTo16777215) {
  for (auto [w, h] : {std::pair{0, 1}, {1, 0}, {16777216, 1}, {1, 16777216}, {-3, 2}}) {
    DecodedPicture out = decode(buildPx40(picture(w, h, {layer(1, 1, 0, 0, {})})));
    EXPECT_EQ(out.result, ResultCode::UnknownFormat) << w << " x " << h;
    EXPECT_FALSE(out.infoHanded || out.bitsHanded);
  }
}

TEST(LayeredPictureDecoder, MalformedFilesAreRefusedWithBothOutputsNull) {
  const Bytes pixel = {1, 2, 3, 4};
  auto refused = [](const Px40Picture& p, const char* what) {
    DecodedPicture out = decode(buildPx40(p));
    EXPECT_EQ(out.result, ResultCode::UnknownFormat) << what;
    EXPECT_FALSE(out.infoHanded || out.bitsHanded) << what;
  };
  refused(picture(4, 4, {layer(2, 2, 0, 0, {run(1, 1, pixel), run(0, 0, pixel)})}),
          "run leaving the layer though not the canvas");
  refused(picture(4, 4, {layer(2, 2, 0, 0, {run(0, -1, pixel)})}), "advance before the start");
  Px40Picture p = picture(4, 4, {layer(2, 2, 0, 0, {run(0, 0, pixel)})});
  p.layers[0].runs[0].count = 3;
  refused(p, "pixel count past the end of the file");
  p.layers[0].runs[0].count = -2;
  refused(p, "negative pixel count");
  p = picture(4, 4, {layer(2, 2, 0, 0, {run(0, 0, pixel)})});
  p.layers[0].terminate = false;
  refused(p, "stream without an end marker");
  p = picture(4, 4, {layer(2, 2, 0, 0, {})});
  p.entryCount = 3;
  refused(p, "layers missing");
  p.entryCount = 0x40000000;
  refused(p, "entry table past the end of the file");
  p = picture(4, 4, {layer(2, 2, 0, 0, {}), layer(2, 2, 0, 0, {}, 16)});
  refused(p, "second layer of another depth");
  refused(picture(4, 4, {layer(2, 2, 0, 0, {}, 8)}), "kind 64 with an indexed layer");
  refused(picture(4, 4, {layer(2, 2, 0, 0, {}, 32)}, 68), "kind 68 with a direct layer");
  for (uint16_t depth : {0, 7, 12, 40, 48}) {
    refused(picture(4, 4, {layer(2, 2, 0, 0, {}, depth)}), "unknown depth");
  }
  refused(picture(4, 4, {layer(-2, 2, 0, 0, {})}), "negative layer width");
  refused(picture(4, 4, {layer(2, 0x1000000, 0, 0, {})}), "oversized layer");
  refused(picture(4, 4, {}, 68), "colour table but no layer");
  p = picture(4, 4, {layer(2, 2, 0, 0, {}, 8)}, 68);
  p.colourCount = 1000000;
  refused(p, "colours past the end of the file");

  Px40Picture indexed = indexedAlphaPicture();
  indexed.layers[0].indexedRuns[1].pixels.clear();
  indexed.layers[1].terminate = false;
  indexed.layers.resize(1);
  refused(indexed, "indexed run cut short");
  indexed = indexedAlphaPicture();
  indexed.layers[0].indexedRuns[1].word = 0xFFC80E03;  // 7 pixels from (0,3): fine
  indexed.layers[0].indexedRuns[1].pixels = Bytes(7, 1);
  EXPECT_EQ(decode(buildPx40(indexed)).result, ResultCode::Success);
  indexed.layers[0].indexedRuns[0].word = indexedControlWord(0, -1, false, 2);
  refused(indexed, "indexed run before the start of the layer");
  EXPECT_EQ(decode(Bytes(31, 0)).result, ResultCode::UnknownFormat);
}

TEST(LayeredPictureDecoder, PictureInfoReportsTheDepthOfTheBitmapMade) {
  LayeredPictureDecoder decoder;
  PictureInfo info{};
  auto depthOf = [&](const Px40Picture& p, const DecodeOptions& options) {
    Bytes file = buildPx40(p);
    EXPECT_EQ(
        decoder.getPictureInfo(file.data(), static_cast<uint32_t>(file.size()), options, &info),
        ResultCode::Success);
    return info.bitDepth;
  };
  Px40Picture direct = picture(640, 480, {layer(1, 1, 0, 0, {})});
  Bytes file = buildPx40(direct);
  EXPECT_EQ(decoder.getPictureInfo(file.data(), 31, DecodeOptions{}, &info),
            ResultCode::UnknownFormat);
  Px40Picture indexed = indexedAlphaPicture();
  {
    const DecodeOptions blend = blendOptions(true);
    EXPECT_EQ(depthOf(direct, blend), 24);
    EXPECT_EQ(info.width, 640);
    EXPECT_EQ(info.height, 480);
    EXPECT_EQ(depthOf(indexed, blend), 24);
  }
  const DecodeOptions raw = blendOptions(false);
  EXPECT_EQ(depthOf(direct, raw), 32);
  EXPECT_EQ(depthOf(indexed, raw), 32);
  EXPECT_EQ(depthOf(picture(2, 2, {layer(1, 1, 0, 0, {}, 16)}), raw), 16);
  EXPECT_EQ(depthOf(picture(2, 2, {layer(1, 1, 0, 0, {}, 8)}, 68), raw), 8);
  // Without a readable first layer, the kind decides.
  EXPECT_EQ(decoder.getPictureInfo(file.data(), 32, raw, &info), ResultCode::Success);
  EXPECT_EQ(info.bitDepth, 32);
}

}  // namespace
}  // namespace quorvel
