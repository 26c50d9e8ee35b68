// Runs the built quorvel with -png on generated pictures of every sub-format and reads the PNG
// files with stb_image: without -raw they hold the BMP's pixels; with -raw their straight alpha,
// composited over the background the blended output uses, gives the blended colours.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "platform/paths.h"
#include "tests/support/test_support.h"
#include "tools/writer/px04_writer.h"
#include "tools/writer/px40_writer.h"
#include "tools/writer/px_writer.h"
#include "tools/writer/sample_archive.h"
#include "tools/writer/tiled_writer.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#include <stb_image.h>

namespace quorvel {
namespace {

using test::Bytes;
using writer::TiledFamily;

const std::vector<std::string> kHeadless = {"DISPLAY=", "WAYLAND_DISPLAY="};
const char kComplete[] = "Cancel: Ctrl + C\n\ncomplete.\n";

// A PNG or BMP file read by stb_image, a decoder independent of the program's writers, with
// `channels` bytes per pixel; fileChannels 0 when it cannot be read.
struct Image {
  int width = 0, height = 0, fileChannels = 0;
  Bytes pixels;
};

Image readImage(const std::string& path, int channels) {
  Image image;
  Bytes file = test::readFile(path);
  stbi_uc* pixels = stbi_load_from_memory(file.data(), int(file.size()), &image.width,
                                          &image.height, &image.fileChannels, channels);
  if (pixels == nullptr) return Image{};
  image.pixels.assign(pixels, pixels + size_t(image.width) * image.height * channels);
  stbi_image_free(pixels);
  return image;
}

// 64 x 16 pixels of distinct colours whose alpha bytes run through every value (the top bit
// set too), with holes of all-zero pixels (which runs leave uncovered).
Bytes everyAlpha(int seed) {
  Bytes image;
  for (int i = 0; i < 64 * 16; ++i) {
    bool hole = i % 11 == seed;
    image.insert(image.end(), {uint8_t(hole ? 0 : i * 37 + seed), uint8_t(hole ? 0 : 255 - i),
                               uint8_t(hole ? 0 : i * 3 + 1), uint8_t(hole ? 0 : i * 7)});
  }
  return image;
}

writer::Px40Layer layer(int32_t x, int32_t y, uint16_t depth) {
  writer::Px40Layer l;
  l.width = 64;
  l.height = 16;
  l.x = x;
  l.y = y;
  l.depth = depth;
  const Bytes image = everyAlpha(x % 11);
  if (depth == 32) l.runs = writer::runsFromImage(image, 64, 16, 4);
  if (depth == 24) {  // the same colours without alpha
    Bytes opaque;
    for (size_t i = 0; i < image.size(); i += 4)
      opaque.insert(opaque.end(), &image[i], &image[i + 3]);
    l.runs = writer::runsFromImage(opaque, 64, 16, 3);
  }
  return l;
}

Bytes runStream(int32_t width, int32_t height, std::vector<writer::DirectRun> runs) {
  writer::Px04Picture p;
  p.width = width;
  p.height = height;
  p.runs = std::move(runs);
  return writer::buildPx04(p);
}

// The second layer's holes erase what the first put under them.
Bytes layered(uint16_t firstDepth) {
  writer::Px40Picture p;
  p.canvasWidth = 80;
  p.canvasHeight = 24;
  p.layers = {layer(0, 0, firstDepth), layer(20, 12, 32)};
  return writer::buildPx40(p);
}

// Alpha-mode pixels of every alpha byte (the top bit is not part of the alpha), opaque-mode
// pixels, uncovered ones.
Bytes layeredIndexed() {
  writer::Px40Picture p;
  p.kind = 68;
  p.canvasWidth = 64;
  p.canvasHeight = 16;
  Bytes colours = everyAlpha(9);
  p.colours.assign(colours.begin(), colours.begin() + 1024);
  std::vector<writer::IndexedPixel> image;
  for (int i = 0; i < 64 * 16; ++i) {
    image.push_back({i % 13 != 0, i % 5 == 0, uint8_t(i * 3), uint8_t(i * 7 + 1)});
  }
  p.layers = {layer(0, 0, 9)};
  p.layers[0].indexedRuns = writer::indexedRunsFromImage(image, 64, 16);
  return writer::buildPx40(p);
}

// Tiles of 16: stored ones of everyAlpha's pixels, an empty cell, and in type 0x0B a solid one
// (alpha 100 in the first image, 0 over a colour in the second) where type 0x0C has a second
// empty cell.
Bytes tiled(TiledFamily family, int images) {
  std::vector<writer::Picture> pictures;
  for (int n = 0; n < images; ++n) {
    writer::Picture picture{64, 16, everyAlpha(n)};
    for (int y = 0; y < 16; ++y) {
      for (int x = 16; x < 48; ++x) {
        uint32_t solid = n == 0 ? 0x64C08040u : 0x00C08040u;
        uint32_t colour = x < 32 || family == TiledFamily::Bordered ? 0 : solid;
        for (int k = 0; k < 4; ++k) picture.pixels[(y * 64 + x) * 4 + k] = uint8_t(colour >> 8 * k);
      }
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
  void convert(const std::string& folder, const std::vector<std::string>& switches) {
    ASSERT_EQ(createDirectoryTree(scratch_.file(folder).c_str(), 1), 1);
    std::vector<std::string> args = switches;
    args.insert(args.end(), {"-out:" + folder, "pic.px"});
    std::string out = test::runQuorvel(args, scratch_.path(), kHeadless).out;
    EXPECT_EQ(out.substr(out.size() - 10), "complete.\n") << folder;  // after a series' count
  }
  test::ScratchDir scratch_;
};

// Composited over the background with integer "over" arithmetic, the -raw PNG gives the blended
// output's colours within 1 per channel; the blended PNG holds exactly the BMP's pixels.
TEST_P(PngAlpha, CompositedOverTheBackgroundItGivesTheBlendedColours) {
  const Sample& s = GetParam();
  ASSERT_TRUE(test::writeFile(scratch_.file("pic.px"), s.make()));
  convert("bmp", {"-bgcolor:80c040"});
  convert("png", {"-bgcolor:80c040", "-png"});
  convert("raw", {"-png", "-raw"});
  const int background[3] = {0x80, 0xC0, 0x40};
  for (const std::string& output : s.outputs) {
    Image bmp = readImage(scratch_.file("bmp/" + output + ".bmp"), 3);
    Image blended = readImage(scratch_.file("png/" + output + ".png"), 3);
    Image raw = readImage(scratch_.file("raw/" + output + ".png"), 4);
    ASSERT_EQ(blended.fileChannels, 3) << output;
    ASSERT_EQ(raw.fileChannels, 4) << output;
    ASSERT_EQ(blended.pixels, bmp.pixels) << output;
    ASSERT_EQ(raw.pixels.size() / 4, blended.pixels.size() / 3) << output;
    for (size_t i = 0; i < blended.pixels.size() / 3; ++i) {
      const uint8_t* p = &raw.pixels[i * 4];
      for (int k = 0; k < 3; ++k) {
        int under = s.overBackground ? background[k] : 0;
        int over = (p[k] * p[3] + under * (255 - p[3])) / 255;
        ASSERT_LE(std::abs(over - blended.pixels[i * 3 + k]), 1)
            << output << " pixel " << i << " channel " << k << " alpha " << int(p[3]);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    EverySubFormat, PngAlpha,
    ::testing::Values(
        Sample{"plain",
               [] { return writer::writePlainPicture(writer::gradientPicture32(256, 4)); },
               true,
               {"pic"}},
        Sample{"runStream",
               [] { return runStream(64, 16, writer::runsFromImage(everyAlpha(5), 64, 16, 4)); },
               false,
               {"pic"}},
        Sample{"layered", [] { return layered(32); }, false, {"pic"}},
        Sample{"layeredMixedDepths", [] { return layered(24); }, false, {"pic"}},
        Sample{"layeredIndexed", layeredIndexed, false, {"pic"}},
        Sample{"tiled0B", [] { return tiled(TiledFamily::WithColours, 1); }, true, {"pic"}},
        Sample{"tiled0C", [] { return tiled(TiledFamily::Bordered, 1); }, true, {"pic"}},
        Sample{"series0B",
               [] { return tiled(TiledFamily::WithColours, 2); },
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

// 8-bit pictures with a colour table or the grey ramp, 16-bit pictures of three layouts (every
// 5-bit level occurs), odd widths whose BMP rows are padded: with -png, and with -png -raw too,
// the PNG's pixels are the BMP's.
TEST_F(PngE2E, PicturesWithoutAlphaKeepTheBmpPixelsInBothModes) {
  const struct {
    int32_t width;
    uint16_t kind, depth;
    int channels;
  } cases[] = {{5, 7, 8, 3}, {7, 1, 8, 1}, {33, 0, 16, 3}, {9, 2, 16, 3}, {7, 3, 16, 3}};
  for (const auto& c : cases) {
    writer::PlainPicture p;
    p.width = c.width;
    p.height = 3;
    p.kind = c.kind;
    p.depth = c.depth;
    p.rows.resize(writer::plainRowBytes(c.width, c.kind, c.depth) * 3);
    for (size_t i = 0; i < p.rows.size(); ++i) p.rows[i] = uint8_t(i * 73 + i / 7);
    if (c.kind == 7) p.palette = everyAlpha(3);
    p.palette.resize(c.kind == 7 ? 1024 : 0);
    ASSERT_TRUE(test::writeFile(scratch_.file("pic.px"), writer::writePlainPicture(p)));
    for (const char* mode : {"-png", "-raw"}) {
      EXPECT_EQ(run({"pic.px"}).out, kComplete);
      EXPECT_EQ(run({"-png", mode, "pic.px"}).out, kComplete);
      Image bmp = readImage(scratch_.file("pic.bmp"), 3);
      Image png = readImage(scratch_.file("pic.png"), 3);
      EXPECT_EQ(png.fileChannels, c.channels) << c.kind << " " << mode;
      EXPECT_EQ(png.pixels, bmp.pixels) << c.kind << " " << mode;
    }
  }
}

// Picture members become PNG files; every other member comes out as it does beside BMPs.
TEST_F(PngE2E, ArchiveMembersArePngFilesBesideTheOtherMembers) {
  ASSERT_TRUE(test::writeFile(scratch_.file("data.a"), writer::sampleArchive()));
  EXPECT_EQ(run({"-png", "-raw", "data.a"}).exitCode, 0);
  for (const std::string& name : test::listFolder(scratch_.file("data"))) {
    const bool picture = name.size() > 4 && name.substr(name.size() - 4) == ".png";
    EXPECT_TRUE(picture ||
                (name.find(".px") == std::string::npos && name.find(".bmp") == std::string::npos))
        << name;
    if (picture) {
      EXPECT_GT(readImage(scratch_.file("data/" + name), 4).fileChannels, 0) << name;
    }
  }
  EXPECT_TRUE(test::fileExists(scratch_.file("data/picture.png")));
  EXPECT_TRUE(test::fileExists(scratch_.file("data/chime.wav")));
}

// A PNG too large for the encoder (16777215 x 32 pixels with alpha: a 2 GiB bitmap, whose
// filtered rows and compressed stream do not fit the encoder's int sizes) answers "cannot write."
// and leaves nothing behind, refused before its pixels are copied.
TEST_F(PngE2E, APngTooLargeForTheEncoderIsRefusedCleanly) {
  ASSERT_TRUE(test::writeFile(scratch_.file("wide.px"),
                              runStream(0xFFFFFF, 32, {writer::directRun(31, 7, {1, 2, 3, 4})})));
  // Over the pixel limit unless it is lifted; then the encoder refuses it.
  EXPECT_EQ(run({"-png", "-raw", "wide.px"}).out, "Cancel: Ctrl + C\n\nno memory.\n");
  test::RunResult r = run({"-png", "-raw", "-maxpixels:0", "wide.px"});
  EXPECT_EQ(r.out, "Cancel: Ctrl + C\n\nwide.px: cannot write.\n");
  EXPECT_LT(r.maxRssKb, 512 * 1024);
  EXPECT_EQ(test::listFolder(scratch_.path()), std::vector<std::string>{"wide.px"});
}

}  // namespace
}  // namespace quorvel
