// Runs the built quorvel with -png on generated pictures of every sub-format and reads the PNG
// files with stb_image: without -raw they hold the BMP's pixels; with -raw their straight alpha,
// composited over the background the blended output uses, gives the blended colours.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>

#include "platform/paths.h"
#include "tests/support/image_reader.h"
#include "tests/support/test_support.h"
#include "tools/writer/px04_writer.h"
#include "tools/writer/px40_writer.h"
#include "tools/writer/px_writer.h"
#include "tools/writer/sample_archive.h"
#include "tools/writer/tiled_writer.h"

namespace quorvel {
namespace {

using test::Bytes;
using test::Image;
using test::readImage;
using writer::IndexedPixel;
using writer::TiledFamily;

const std::vector<std::string> kHeadless = {"DISPLAY=", "WAYLAND_DISPLAY="};
const char kComplete[] = "Cancel: Ctrl + C\n\ncomplete.\n";
const char kBackground[] = "-bgcolor:80c040";  // red 0x80, green 0xC0, blue 0x40

// Pixel i of a picture with distinct colours; alpha runs through every byte value.
void varied(Bytes& image, int i, uint8_t alpha) {
  image.insert(image.end(), {uint8_t(i * 37 + 5), uint8_t(255 - i * 11), uint8_t(i * 3), alpha});
}

Bytes plainEveryAlpha() {
  writer::PlainPicture p = writer::gradientPicture32(256, 4);  // alpha x: 0..255 on rows 2, 3
  return writer::writePlainPicture(p);
}

// 32-bit stored alpha bytes 0..255 on row 0 and again on row 1, where every third pixel is left
// uncovered.
Bytes runs32Image() {
  Bytes image;
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 256; ++x) {
      if (y == 1 && x % 3 == 0) {
        image.insert(image.end(), {0, 0, 0, 0});
      } else {
        varied(image, x + y, uint8_t(x));
      }
    }
  }
  return image;
}

Bytes runStreamEveryAlpha() {
  writer::Px04Picture p;
  p.width = 256;
  p.height = 2;
  p.runs = writer::runsFromImage(runs32Image(), 256, 2, 4);
  return writer::buildPx04(p);
}

writer::Px40Layer layer(int32_t width, int32_t height, int32_t x, int32_t y, uint16_t depth) {
  writer::Px40Layer l;
  l.width = width;
  l.height = height;
  l.x = x;
  l.y = y;
  l.depth = depth;
  return l;
}

// Two 32-bit layers; the second, lower and shorter, erases what lies under its uncovered pixels.
Bytes layeredEveryAlpha() {
  writer::Px40Picture p;
  p.canvasWidth = 256;
  p.canvasHeight = 3;
  writer::Px40Layer first = layer(256, 2, 0, 0, 32);
  first.runs = writer::runsFromImage(runs32Image(), 256, 2, 4);
  const Bytes both = runs32Image();
  const Bytes second(both.begin() + 256 * 4, both.begin() + 456 * 4);  // row 1, with holes
  writer::Px40Layer overlap = layer(100, 2, 20, 1, 32);
  overlap.runs = writer::runsFromImage(second, 100, 2, 4);
  p.layers = {first, overlap};
  return writer::buildPx40(p);
}

// Indexed pixels with every 8-bit alpha byte (the top bit is not part of the alpha), opaque-mode
// pixels and uncovered ones.
Bytes layeredIndexedEveryAlpha() {
  writer::Px40Picture p;
  p.kind = 68;
  p.canvasWidth = 256;
  p.canvasHeight = 2;
  for (int i = 0; i < 256; ++i) varied(p.colours, i, 0);
  std::vector<IndexedPixel> image;
  for (int x = 0; x < 256; ++x) image.push_back({true, false, uint8_t(x), uint8_t(x * 7)});
  for (int x = 0; x < 256; ++x) image.push_back({x % 4 != 0, x % 2 == 1, 0, uint8_t(x)});
  p.layers = {layer(256, 2, 0, 0, 9)};
  p.layers[0].indexedRuns = writer::indexedRunsFromImage(image, 256, 2);
  return writer::buildPx40(p);
}

// Stored tiles with every alpha value; in type 0x0B solid tiles (alpha 100, and alpha 0 over a
// colour) too; an empty cell in both.
Bytes tiledEveryAlpha(TiledFamily family, int images) {
  std::vector<writer::Picture> pictures;
  for (int n = 0; n < images; ++n) {
    writer::Picture picture{48, 20, {}};
    for (int i = 0; i < 48 * 20; ++i) varied(picture.pixels, i + n, uint8_t(i * 7 + n));
    auto fill = [&](int x0, int y0, int w, int h, uint32_t bgra) {
      for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x)
          for (int k = 0; k < 4; ++k) picture.pixels[(y * 48 + x) * 4 + k] = uint8_t(bgra >> 8 * k);
    };
    fill(16, 0, 16, 16, 0);  // empty
    if (family == TiledFamily::Px0B) {
      fill(32, 0, 16, 16, 0x64C08040u);  // solid, alpha 100
      fill(0, 16, 16, 4, 0x00FF20FFu);   // solid, alpha 0
    }
    pictures.push_back(picture);
  }
  return writer::writeTiled(writer::tilePictures(family, 16, pictures));
}

struct Sample {
  std::string name;
  std::function<Bytes()> make;
  bool overBackground;  // blended over the background colour, else scaled toward black
  std::vector<std::string> outputs;
};

void PrintTo(const Sample& s, std::ostream* out) {
  *out << s.name;
}

class PngAlpha : public ::testing::TestWithParam<Sample> {
 protected:
  void run(const std::vector<std::string>& args) {
    test::RunResult r = test::runQuorvel(args, scratch_.path(), kHeadless);
    EXPECT_EQ(r.out.substr(r.out.size() - 10), "complete.\n") << r.out;
  }
  std::string at(const std::string& folder, const std::string& output) {
    return scratch_.file(folder) + "/" + output;
  }
  test::ScratchDir scratch_;
};

// Composited over the background ("over", integer arithmetic that truncates), the straight
// PNG gives the blended output's colours within 1 per channel; the blended PNG holds exactly the
// BMP's pixels.
TEST_P(PngAlpha, CompositedOverTheBackgroundItGivesTheBlendedColours) {
  const Sample& s = GetParam();
  ASSERT_TRUE(test::writeFile(scratch_.file("pic.px"), s.make()));
  for (const char* folder : {"bmp", "png", "raw"}) {
    ASSERT_EQ(createDirectoryTree(scratch_.file(folder).c_str(), 1), 1);
  }
  run({kBackground, "-out:bmp", "pic.px"});
  run({kBackground, "-png", "-out:png", "pic.px"});
  run({"-png", "-raw", "-out:raw", "pic.px"});
  const int background[3] = {0x80, 0xC0, 0x40};
  for (const std::string& output : s.outputs) {
    Image bmp = readImage(at("bmp", output + ".bmp"), 3);
    Image blended = readImage(at("png", output + ".png"), 3);
    Image raw = readImage(at("raw", output + ".png"), 4);
    ASSERT_EQ(blended.fileChannels, 3) << output;
    ASSERT_EQ(raw.fileChannels, 4) << output;
    ASSERT_EQ(blended.pixels, bmp.pixels) << output;
    ASSERT_EQ(raw.pixels.size() / 4, blended.pixels.size() / 3) << output;
    int alphas[256] = {};
    for (size_t i = 0; i < blended.pixels.size() / 3; ++i) {
      const uint8_t* p = &raw.pixels[i * 4];
      ++alphas[p[3]];
      for (int k = 0; k < 3; ++k) {
        int under = s.overBackground ? background[k] : 0;
        int over = (p[k] * p[3] + under * (255 - p[3])) / 255;
        ASSERT_LE(std::abs(over - blended.pixels[i * 3 + k]), 1)
            << output << " pixel " << i << " channel " << k << " alpha " << int(p[3]);
      }
    }
    EXPECT_GT(alphas[0], 0) << output;
    EXPECT_GT(alphas[255], 0) << output;
  }
}

INSTANTIATE_TEST_SUITE_P(
    EverySubFormat, PngAlpha,
    ::testing::Values(
        Sample{"plain", plainEveryAlpha, true, {"pic"}},
        Sample{"runStream", runStreamEveryAlpha, false, {"pic"}},
        Sample{"layered", layeredEveryAlpha, false, {"pic"}},
        Sample{"layeredIndexed", layeredIndexedEveryAlpha, false, {"pic"}},
        Sample{"tiled0B", [] { return tiledEveryAlpha(TiledFamily::Px0B, 1); }, true, {"pic"}},
        Sample{"tiled0C", [] { return tiledEveryAlpha(TiledFamily::Px0C, 1); }, true, {"pic"}},
        Sample{"series0B",
               [] { return tiledEveryAlpha(TiledFamily::Px0B, 2); },
               true,
               {"pic/pic_0000", "pic/pic_0001"}}),
    [](const auto& info) { return info.param.name; });

class PngE2E : public ::testing::Test {
 protected:
  test::RunResult run(const std::vector<std::string>& args) {
    return test::runQuorvel(args, scratch_.path(), kHeadless);
  }
  test::ScratchDir scratch_;
};

writer::PlainPicture plain(int32_t width, int32_t height, uint16_t kind, uint16_t depth) {
  writer::PlainPicture p;
  p.width = width;
  p.height = height;
  p.kind = kind;
  p.depth = depth;
  p.rows.resize(writer::plainRowBytes(width, kind, depth) * height);
  for (size_t i = 0; i < p.rows.size(); ++i) p.rows[i] = uint8_t(i * 73 + i / 7);
  if (kind == 7) {
    for (int i = 0; i < 1024; ++i) p.palette.push_back(uint8_t(i * 5 + 1));
  }
  return p;
}

// 8-bit pictures with a colour table or the grey ramp, 16-bit pictures of three layouts (every
// 5-bit level occurs), odd widths whose BMP rows are padded: with -png, and with -png -raw too,
// the PNG's pixels are the BMP's.
TEST_F(PngE2E, PicturesWithoutAlphaKeepTheBmpPixelsInBothModes) {
  const struct {
    writer::PlainPicture picture;
    int channels;
  } cases[] = {{plain(5, 3, 7, 8), 3},
               {plain(7, 3, 1, 8), 1},
               {plain(33, 4, 0, 16), 3},
               {plain(9, 2, 2, 16), 3},
               {plain(7, 2, 3, 16), 3}};
  for (const auto& c : cases) {
    ASSERT_TRUE(test::writeFile(scratch_.file("pic.px"), writer::writePlainPicture(c.picture)));
    for (const char* mode : {"-png", "-raw"}) {
      EXPECT_EQ(run({"pic.px"}).out, kComplete);
      EXPECT_EQ(run({"-png", mode, "pic.px"}).out, kComplete);
      Image bmp = readImage(scratch_.file("pic.bmp"), 3);
      Image png = readImage(scratch_.file("pic.png"), 3);
      EXPECT_EQ(png.fileChannels, c.channels) << c.picture.kind << " " << mode;
      EXPECT_EQ(png.pixels, bmp.pixels) << c.picture.kind << " " << mode;
    }
  }
}

// Picture members become PNG files; every other member comes out as with BMP output.
TEST_F(PngE2E, ArchiveMembersArePngFilesBesideTheOtherMembers) {
  ASSERT_TRUE(test::writeFile(scratch_.file("data.a"), writer::sampleArchive()));
  EXPECT_EQ(run({"-out:bmp", "data.a"}).exitCode, 0);
  EXPECT_EQ(run({"-png", "-raw", "-out:png", "data.a"}).exitCode, 0);
  std::vector<std::string> expected;
  for (std::string name : test::listFolder(scratch_.file("bmp/data"))) {
    bool picture = name.size() > 4 && name.compare(name.size() - 4, 4, ".bmp") == 0;
    if (picture) {
      name.replace(name.size() - 4, 4, ".png");
      Image png = readImage(scratch_.file("png/data/" + name), 4);
      EXPECT_GT(png.fileChannels, 0) << name;
    } else {
      EXPECT_EQ(test::readFile(scratch_.file("png/data/" + name)),
                test::readFile(scratch_.file("bmp/data/" + name)));
    }
    expected.push_back(name);
  }
  EXPECT_EQ(test::listFolder(scratch_.file("png/data")), expected);
  EXPECT_NE(std::find(expected.begin(), expected.end(), "picture.png"), expected.end());
}

// A PNG that cannot be placed (a folder of its name is in the way) or that is too large for the
// encoder (16777215 x 32 pixels with alpha: a 2 GiB bitmap, whose filtered rows and compressed
// stream do not fit the encoder's int sizes) answers "cannot write." and leaves nothing behind;
// the large one is refused before its pixels are copied.
TEST_F(PngE2E, APngThatCannotBeWrittenLeavesNothing) {
  ASSERT_TRUE(test::writeFile(scratch_.file("pic.px"), plainEveryAlpha()));
  ASSERT_EQ(createDirectoryTree(scratch_.file("pic.png").c_str(), 1), 1);
  EXPECT_EQ(run({"-png", "pic.px"}).out, "Cancel: Ctrl + C\n\npic.px: cannot write.\n");
  EXPECT_EQ(test::listFolder(scratch_.path()), (std::vector<std::string>{"pic.png", "pic.px"}));

  writer::Px04Picture wide;
  wide.width = 0xFFFFFF;
  wide.height = 32;
  wide.runs = {writer::directRun(31, 7, {1, 2, 3, 4})};
  ASSERT_TRUE(test::writeFile(scratch_.file("wide.px"), writer::buildPx04(wide)));
  test::RunResult r = run({"-png", "-raw", "wide.px"});
  EXPECT_EQ(r.out, "Cancel: Ctrl + C\n\nwide.px: cannot write.\n");
  EXPECT_LT(r.maxRssKb, 512 * 1024);
  EXPECT_EQ(test::listFolder(scratch_.path()),
            (std::vector<std::string>{"pic.png", "pic.px", "wide.px"}));
}

}  // namespace
}  // namespace quorvel
