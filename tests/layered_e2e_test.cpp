// Runs the built quorvel on generated layered and run-stream pictures, with and without -raw,
// and compares the BMP files byte for byte with files built here from the picture definitions.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "tests/support/expected_bmp.h"
#include "tests/support/layered_model.h"
#include "tests/support/test_support.h"
#include "tools/writer/px04_writer.h"
#include "tools/writer/px40_writer.h"

namespace quorvel {
namespace {

using test::Bytes;
using test::expectedBmp;
using test::ImageLayer;
using test::outputPixel32;
using writer::IndexedPixel;

const std::vector<std::string> kHeadless = {"DISPLAY=", "WAYLAND_DISPLAY="};
const char kComplete[] = "Cancel: Ctrl + C\n\ncomplete.\n";

bool isZero(const uint8_t* p, int n) {
  for (int i = 0; i < n; ++i) {
    if (p[i] != 0) return false;
  }
  return true;
}

// A 32-bit image with transparent holes (all-zero pixels, which the runs leave out), varied
// alpha bytes including 0, 128 and values with the top bit set.
Bytes pattern32(int width, int height, int seed) {
  Bytes image;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if ((x * 3 + y * 5 + seed) % 7 == 0) {
        image.insert(image.end(), {0, 0, 0, 0});
        continue;
      }
      int v = x * 37 + y * 11 + seed * 13;
      image.insert(image.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(255 - v),
                                 static_cast<uint8_t>(v * 3), static_cast<uint8_t>(v * 29 % 256)});
    }
  }
  return image;
}

class LayeredE2E : public ::testing::Test {
 protected:
  // Converts the file with the given switches and returns the BMP written.
  Bytes convert(const Bytes& file, const std::vector<std::string>& switches) {
    std::string input = scratch_.file("pic.px");
    EXPECT_TRUE(test::writeFile(input, file));
    std::vector<std::string> args = switches;
    args.push_back(input);
    test::RunResult r = test::runQuorvel(args, scratch_.path(), kHeadless);
    EXPECT_EQ(r.out, kComplete);
    return test::readFile(scratch_.file("pic.bmp"));
  }
  test::ScratchDir scratch_;
};

// The BMP the layers paint. Raw output has 32 bits when any layer has.
Bytes expectedLayered(int width, int height, const std::vector<ImageLayer>& layers, bool raw) {
  bool alpha = raw && std::any_of(layers.begin(), layers.end(),
                                  [](const ImageLayer& l) { return l.depth == 32; });
  int bitCount = alpha ? 32 : 24;
  return expectedBmp(width, height, bitCount, {}, [&](int32_t x, int32_t y, uint8_t* out) {
    test::paintedPixel(layers, x, y, bitCount / 8, out);
  });
}

// The 24-bit image of the same pattern: its colours without the alpha byte.
Bytes pattern24(int width, int height, int seed) {
  Bytes image32 = pattern32(width, height, seed), image;
  for (size_t i = 0; i < image32.size(); i += 4) {
    image.insert(image.end(), image32.begin() + i, image32.begin() + i + 3);
  }
  return image;
}

TEST_F(LayeredE2E, DirectColourLayersBlendedAndRaw) {
  // Overlapping layers, one hanging off the top left, one off the right edge; odd width.
  std::vector<ImageLayer> layers = {{0, 0, 7, 5, pattern32(7, 5, 1)},
                                    {-2, -1, 5, 4, pattern32(5, 4, 2)},
                                    {4, 2, 6, 2, pattern32(6, 2, 3)}};
  Bytes file = writer::buildPx40(test::imageLayersPicture(7, 5, layers));
  EXPECT_EQ(convert(file, {}), expectedLayered(7, 5, layers, false));
  EXPECT_EQ(convert(file, {"-raw"}), expectedLayered(7, 5, layers, true));
}

TEST_F(LayeredE2E, LayersOfTwentyFourAndThirtyTwoBitsMixed) {
  // A 24-bit background under 32-bit layers and a 24-bit one, then the other way round.
  std::vector<ImageLayer> opaqueFirst = {{0, 0, 7, 5, pattern24(7, 5, 1), 24},
                                         {-2, -1, 5, 4, pattern32(5, 4, 2)},
                                         {4, 2, 6, 2, pattern24(6, 2, 3), 24},
                                         {1, 3, 2, 2, pattern32(2, 2, 4)}};
  std::vector<ImageLayer> alphaFirst = {{0, 0, 7, 5, pattern32(7, 5, 5)},
                                        {3, -1, 3, 4, pattern24(3, 4, 6), 24},
                                        {-1, 2, 4, 3, pattern32(4, 3, 7)}};
  for (const auto& layers : {opaqueFirst, alphaFirst}) {
    Bytes file = writer::buildPx40(test::imageLayersPicture(7, 5, layers));
    EXPECT_EQ(convert(file, {}), expectedLayered(7, 5, layers, false));
    EXPECT_EQ(convert(file, {"-raw"}), expectedLayered(7, 5, layers, true));
  }
}

TEST_F(LayeredE2E, EightBitLayersKeepTheFileColourTable) {
  writer::Px40Picture p;
  p.kind = 68;
  p.canvasWidth = 5;
  p.canvasHeight = 3;
  for (int i = 0; i < 40; ++i)
    p.colours.insert(p.colours.end(), {uint8_t(i * 6), 7, uint8_t(i), 0});
  Bytes image;
  for (int i = 0; i < 15; ++i) image.push_back(static_cast<uint8_t>(i % 4 == 0 ? 0 : i * 2 + 1));
  writer::Px40Layer layer;
  layer.width = 5;
  layer.height = 3;
  layer.depth = 8;
  layer.runs = writer::runsFromImage(image, 5, 3, 1);
  p.layers = {layer};
  Bytes palette = p.colours;
  palette.resize(1024, 0);
  Bytes expected = expectedBmp(
      5, 3, 8, palette, [&](int32_t x, int32_t y, uint8_t* out) { *out = image[y * 5 + x]; });
  Bytes file = writer::buildPx40(p);
  EXPECT_EQ(convert(file, {}), expected);
  EXPECT_EQ(convert(file, {"-raw"}), expected);
}

TEST_F(LayeredE2E, IndexedAlphaLayersInBothPixelModes) {
  const int w = 6, h = 4;
  std::vector<IndexedPixel> image(w * h);
  for (int i = 0; i < w * h; ++i) {
    image[i].covered = i % 5 != 2;
    image[i].opaque = (i / 3) % 2 == 1;
    image[i].alpha = static_cast<uint8_t>(i * 23);  // the top bit is ignored
    image[i].index = static_cast<uint8_t>(i % 4);
  }
  writer::Px40Picture p;
  p.kind = 68;
  p.canvasWidth = w;
  p.canvasHeight = h;
  p.colours = {10, 20, 30, 1, 200, 100, 50, 2, 255, 255, 255, 3, 0, 128, 64, 4};
  writer::Px40Layer layer;
  layer.width = w;
  layer.height = h;
  layer.depth = 9;
  layer.indexedRuns = writer::indexedRunsFromImage(image, w, h);
  p.layers = {layer};
  Bytes file = writer::buildPx40(p);
  for (bool raw : {false, true}) {
    Bytes expected = expectedBmp(w, h, raw ? 32 : 24, {}, [&](int32_t x, int32_t y, uint8_t* out) {
      const IndexedPixel& px = image[y * w + x];
      if (!px.covered) return;
      const uint8_t* colour = &p.colours[px.index * 4];
      int alpha = px.alpha & 0x7F;
      for (int k = 0; k < 3; ++k) out[k] = px.opaque || raw ? colour[k] : colour[k] * alpha / 128;
      if (raw) out[3] = px.opaque ? 255 : static_cast<uint8_t>(alpha * 2);
    });
    EXPECT_EQ(convert(file, raw ? std::vector<std::string>{"-raw"} : std::vector<std::string>{}),
              expected)
        << (raw ? "raw" : "blended");
  }
}

TEST_F(LayeredE2E, RunStreamPicturesWithWidthCopyOrSignature) {
  const int w = 9, h = 4;
  Bytes image = pattern32(w, h, 5);
  writer::Px04Picture p;
  p.width = w;
  p.height = h;
  p.runs = writer::runsFromImage(image, w, h, 4);
  p.runs[1].fillersBefore = 2;
  for (bool signature : {false, true}) {
    p.signature = signature;
    Bytes file = writer::buildPx04(p);
    for (bool raw : {false, true}) {
      Bytes expected =
          expectedBmp(w, h, raw ? 32 : 24, {}, [&](int32_t x, int32_t y, uint8_t* out) {
            const uint8_t* stored = &image[(y * w + x) * 4];
            if (!isZero(stored, 4)) outputPixel32(stored, raw, out);
          });
      EXPECT_EQ(convert(file, raw ? std::vector<std::string>{"-raw"} : std::vector<std::string>{}),
                expected)
          << signature << raw;
    }
  }
}

TEST_F(LayeredE2E, MalformedPicturesAreUnknownAndWriteNothing) {
  writer::Px04Picture runs;
  runs.width = 4;
  runs.height = 4;
  runs.runs = writer::runsFromImage(pattern32(4, 4, 1), 4, 4, 4);
  runs.terminate = false;
  writer::Px40Picture layered = test::imageLayersPicture(4, 4, {{0, 0, 4, 4, pattern32(4, 4, 2)}});
  layered.layers[0].runs.back().count = 40;
  for (const Bytes& file : {writer::buildPx04(runs), writer::buildPx40(layered)}) {
    std::string input = scratch_.file("bad.px");
    ASSERT_TRUE(test::writeFile(input, file));
    test::RunResult r = test::runQuorvel({input}, scratch_.path(), kHeadless);
    EXPECT_EQ(r.out, "Cancel: Ctrl + C\n\nbad.px: unknown format!\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(test::fileExists(scratch_.file("bad.bmp")));
  }
}

TEST(BundledSamples, LayeredAndRunStreamPicturesConvert) {
  test::ScratchDir scratch;
  const std::string samples = std::string(QUORVEL_SOURCE_DIR) + "/samples/";
  for (const char* name : {"layered32", "layered_indexed", "runs32"}) {
    for (bool raw : {false, true}) {
      std::vector<std::string> args = {"-out:" + scratch.path(), samples + name + ".px"};
      if (raw) args.insert(args.begin(), "-raw");
      test::RunResult r = test::runQuorvel(args, scratch.path(), kHeadless);
      EXPECT_EQ(r.out, kComplete) << name;
      Bytes bmp = test::readFile(scratch.file(std::string(name) + ".bmp"));
      ASSERT_GE(bmp.size(), 54u) << name;
      EXPECT_EQ(bmp[28], raw ? 32 : 24) << name;
    }
  }
}

}  // namespace
}  // namespace quorvel
