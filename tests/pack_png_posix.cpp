// Packing PNG files: a PNG becomes a plain 32-bit picture that -png -raw gives back with the same
// pixels and alpha, and an archive extracted with -png -raw packs into one that extracts to the
// same pixels again. The PNGs are read with libpng, independently of the program.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/png_file.h"
#include "tests/support/test_support.h"
#include "tools/writer/archive_writer.h"
#include "tools/writer/layered_samples.h"
#include "tools/writer/px_writer.h"
#include "tools/writer/tiled_writer.h"

namespace quorvel {
namespace {

using test::Bytes;

class PackPng : public ::testing::Test {
 protected:
  test::RunResult run(const std::vector<std::string>& args) {
    test::RunResult result = test::runQuorvel(args, scratch_.path(), {"TMPDIR=" + scratch_.path()});
    EXPECT_NE(result.out.find("complete."), std::string::npos) << result.out << result.err;
    return result;
  }
  std::string path(const std::string& name) const { return scratch_.file(name); }

  // Every file below a folder; PNG files as their decoded pixels (with their size in front).
  test::FileMap contents(const std::string& folder) {
    test::FileMap files = test::filesBelow(path(folder));
    for (auto& [name, bytes] : files) {
      if (name.size() < 4 || name.compare(name.size() - 4, 4, ".png") != 0) continue;
      uint32_t width = 0;
      uint32_t height = 0;
      Bytes pixels = test::readPngRgba(bytes, width, height);
      EXPECT_FALSE(pixels.empty()) << name;
      bytes = {static_cast<uint8_t>(width), static_cast<uint8_t>(height)};
      bytes.insert(bytes.end(), pixels.begin(), pixels.end());
    }
    return files;
  }

  test::ScratchDir scratch_;
};

TEST_F(PackPng, APngComesBackWithItsPixelsAndAlpha) {
  // Every alpha value, and colours under transparent pixels that must survive too.
  test::PngImage image;
  image.width = 16;
  image.height = 16;
  for (uint32_t i = 0; i < 256; ++i) {
    image.rows.insert(image.rows.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                         static_cast<uint8_t>(i * 7), static_cast<uint8_t>(i)});
  }
  ASSERT_TRUE(test::writeFile(path("sprite.png"), test::writePng(image)));
  run({"-pack", "-out:packed", "sprite.png"});
  run({"-png", "-raw", "-out:packed", "packed/sprite.px"});
  uint32_t width = 0;
  uint32_t height = 0;
  Bytes pixels = test::readPngRgba(test::readFile(path("packed/sprite.png")), width, height);
  EXPECT_EQ(width, 16u);
  EXPECT_EQ(height, 16u);
  EXPECT_EQ(pixels, image.rows);
}

TEST_F(PackPng, AnArchiveExtractedAsPngPacksIntoTheSamePictures) {
  writer::PlainPicture grey;
  grey.width = 6;
  grey.height = 3;
  grey.kind = 1;
  grey.depth = 8;
  for (int i = 0; i < 18; ++i) grey.rows.push_back(static_cast<uint8_t>(i * 14));
  std::vector<writer::Picture> frames;
  for (int i = 0; i < 3; ++i) {
    frames.push_back(writer::Picture{20, 12, writer::discImage32(20, 12, i)});
  }
  ASSERT_TRUE(test::writeFile(
      path("data.a"),
      writer::buildArchive({
          writer::plainMember("note.txt", {'h', 'i'}),
          writer::plainMember("grey.px", writer::writePlainPicture(grey)),
          writer::plainMember("alpha.px",
                              writer::writePlainPicture(writer::gradientPicture32(9, 7))),
          writer::plainMember("layered.px", writer::layeredSample32()),
          writer::plainMember("runs.px", writer::runStreamSample32()),
          writer::plainMember("walk.px", writer::writeTiled(writer::tilePictures(
                                             writer::TiledFamily::Bordered, 16, frames))),
      })));
  run({"-png", "-raw", "data.a"});
  test::FileMap first = contents("data");
  ASSERT_EQ(first.size(), 8u);  // the note, four pictures and three images of the series
  run({"-pack", "-out:again", "data"});
  run({"-png", "-raw", "-out:again", "again/data.a"});
  EXPECT_EQ(contents("again/data"), first);
}

// A damaged PNG in a folder (a deflate block of the reserved type; it ended the run with a crash
// once): the pack stops and names it, and no archive is written.
TEST_F(PackPng, ADamagedPngStopsThePackWithItsName) {
  const Bytes reserved{0x89, 'P', 'N',  'G',  0x0D, 0x0A, 0x1A, 0x0A, 0,    0,    0, 13,  'I',
                       'H',  'D', 'R',  0,    0,    0,    1,    0,    0,    0,    1, 8,   6,
                       0,    0,   0,    0x1F, 0x15, 0xC4, 0x89, 0,    0,    0,    4, 'I', 'D',
                       'A',  'T', 0x78, 0x9C, 0x07, 0x00, 0xFF, 0xE0, 0xB8, 0x27, 0, 0,   0,
                       0,    'I', 'E',  'N',  'D',  0xAE, 0x42, 0x60, 0x82};
  ASSERT_EQ(::mkdir(path("data").c_str(), 0700), 0);
  ASSERT_TRUE(test::writeFile(path("data/a.png"), reserved));
  test::RunResult packed = test::runQuorvel({"-pack", "data"}, scratch_.path());
  EXPECT_EQ(packed.exitCode, 1);
  EXPECT_EQ(packed.err.rfind("quorvel: data/a.png: damaged", 0), 0u) << packed.err;
  EXPECT_FALSE(test::fileExists(path("data.a")));
}

}  // namespace
}  // namespace quorvel
