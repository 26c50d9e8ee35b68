#include "convert/series.h"

#include <gtest/gtest.h>

#include <string>

#include "decoders/bytes.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "tests/support/test_support.h"
#include "tests/tiled_test_util.h"
#include "tools/writer/byte_writer.h"

namespace quorvel {
namespace {

using namespace tiledtest;
using test::fileExists;
using test::listFolder;
using test::readFile;
using test::ScratchDir;
using writer::TiledFamily;
using writer::TiledFile;
using writer::TileRecord;

// The BMP file of one series image: the 54-byte header and the rows.
Bytes seriesBmp(const Picture& picture, bool blended, const uint8_t* background) {
  Bytes rows = expectedRows({picture}, blended, background);
  writer::ByteWriter file;
  file.text("BM").u32(uint32_t(54 + rows.size())).u32(0).u32(54);
  file.u32(40).u32(uint32_t(picture.width)).u32(uint32_t(picture.height)).u16(1);
  file.u16(blended ? 24 : 32).u32(0).u32(uint32_t(rows.size())).zeros(16);
  return file.raw(rows).take();
}

std::vector<Picture> threePictures() {
  std::vector<Picture> pictures;
  for (int i = 0; i < 3; ++i) {
    Picture p = patternPicture(20, 18, i + 1);
    fillRect(p, 16, 0, 4, 16, 0xFF00FF00u + uint32_t(i));  // solid, narrow last column
    fillRect(p, 0, 16, 16, 2, 0);                          // empty, low last row
    pictures.push_back(p);
  }
  return pictures;
}

std::string itemsDone(int i) {
  return "\r\t" + std::to_string(i) + kTextItemsDone;
}

TEST(Series, WritesNumberedFilesInAFolderNamedAfterTheBasePath) {
  ConversionOptions options;
  ScratchDir dir;
  std::vector<Picture> pictures = threePictures();
  ASSERT_TRUE(test::writeFile(dir.file("x.px"), writer::writeTiled(writer::tilePictures(
                                                    TiledFamily::WithColours, 16, pictures))));
  testing::internal::CaptureStdout();
  ResultCode result =
      convertTiledWithColoursSeries(dir.file("x").c_str(), dir.file("x.px").c_str(), options);
  std::string console = testing::internal::GetCapturedStdout();
  ASSERT_EQ(result, ResultCode::Success);
  EXPECT_EQ(listFolder(dir.file("x")),
            (std::vector<std::string>{"x_0000.bmp", "x_0001.bmp", "x_0002.bmp"}));
  for (int i = 0; i < 3; ++i) {
    std::string name = dir.file(std::string("x/x_000").append(std::to_string(i)).append(".bmp"));
    EXPECT_EQ(readFile(name), seriesBmp(pictures[i], true, options.decode.background)) << i;
  }
  EXPECT_EQ(console,
            std::string("\n").append(itemsDone(0)).append(itemsDone(1)).append(itemsDone(2)));
}

TEST(Series, WithoutSubfoldersWritesBesideTheBasePathAndKeepsAlpha) {
  ConversionOptions options;
  options.keepSubfolders = false;
  options.decode.blend = false;
  ScratchDir dir;
  std::vector<Picture> pictures = threePictures();
  TiledFile tiled = writer::tilePictures(TiledFamily::Bordered, 16, pictures);
  tiled.indexPrefix = 1;
  ASSERT_TRUE(test::writeFile(dir.file("x.px"), writer::writeTiled(tiled)));
  testing::internal::CaptureStdout();
  ResultCode result =
      convertTiledBorderedSeries(dir.file("x").c_str(), dir.file("x.px").c_str(), options);
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(result, ResultCode::Success);
  EXPECT_EQ(listFolder(dir.path()),
            (std::vector<std::string>{"x.px", "x_0000.bmp", "x_0001.bmp", "x_0002.bmp"}));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(readFile(dir.file(std::string("x_000").append(std::to_string(i)).append(".bmp"))),
              seriesBmp(pictures[i], false, nullptr));
  }
}

// Every image is drawn as into a fresh block: where image 1's first tile row ends early (a
// record of width 0) or has an empty tile, nothing of image 0 shows, in either mode.
TEST(Series, NothingOfThePreviousImageSurvives) {
  ConversionOptions options;
  ScratchDir dir;
  Picture first = patternPicture(32, 16, 9);
  TiledFile tiled = writer::tilePictures(TiledFamily::WithColours, 16, {first});
  tiled.records.push_back(TileRecord{0, 0, {}});
  tiled.images.push_back({int16_t(tiled.records.size()), 1});  // ends its row after one entry
  tiled.images.push_back({0, 1});
  Bytes file = writer::writeTiled(tiled);
  ASSERT_TRUE(test::writeFile(dir.file("x.px"), file));
  Picture blank{32, 16, Bytes(32 * 16 * 4, 0)};
  // Image 2 starts with the entry image 1 did not take: the first tile of image 0, then its own
  // first entry, empty.
  Picture half = blank;
  for (int y = 0; y < 16; ++y)
    std::copy(&first.pixels[y * 128], &first.pixels[y * 128 + 64], &half.pixels[y * 128]);
  for (bool blended : {true, false}) {
    options.decode.blend = blended;
    testing::internal::CaptureStdout();
    ASSERT_EQ(
        convertTiledWithColoursSeries(dir.file("x").c_str(), dir.file("x.px").c_str(), options),
        ResultCode::Success);
    testing::internal::GetCapturedStdout();
    Bytes blackRows = seriesBmp(blank, blended, options.decode.background);
    std::fill(blackRows.begin() + 54, blackRows.end(), 0);  // width 0: nothing written at all
    EXPECT_EQ(readFile(dir.file("x/x_0001.bmp")), blackRows) << blended;
    EXPECT_EQ(readFile(dir.file("x/x_0002.bmp")),
              seriesBmp(half, blended, options.decode.background))
        << blended;
  }
}

TEST(Series, NoImagesStillMakesTheFolder) {
  ConversionOptions options;
  ScratchDir dir;
  TiledFile tiled = writer::tilePictures(TiledFamily::WithColours, 16, threePictures());
  for (int64_t count : {0, -3}) {
    tiled.imageCount = count;
    ASSERT_TRUE(test::writeFile(dir.file("x.px"), writer::writeTiled(tiled)));
    testing::internal::CaptureStdout();
    EXPECT_EQ(
        convertTiledWithColoursSeries(dir.file("x").c_str(), dir.file("x.px").c_str(), options),
        ResultCode::Success);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n");
    EXPECT_TRUE(listFolder(dir.file("x")).empty());
  }
}

// Image numbers take four digits and more from 10000 on, so that names sort by number up to
// 9999 and stay distinct beyond.
TEST(Series, NumbersFromTenThousandHaveFiveDigits) {
  EXPECT_EQ(seriesNumberSuffix(0), "_0000");
  EXPECT_EQ(seriesNumberSuffix(9999), "_9999");
  EXPECT_EQ(seriesNumberSuffix(10000), "_10000");
  EXPECT_EQ(seriesNumberSuffix(2147483647), "_2147483647");
}

TEST(Series, ReadAndWriteFailures) {
  ConversionOptions options;
  options.keepSubfolders = false;
  ScratchDir dir;
  Bytes file =
      writer::writeTiled(writer::tilePictures(TiledFamily::WithColours, 16, threePictures()));
  ASSERT_TRUE(test::writeFile(dir.file("x.px"), file));
  ASSERT_TRUE(test::writeFile(dir.file("short.px"), Bytes(file.begin(), file.begin() + 31)));
  testing::internal::CaptureStdout();
  EXPECT_EQ(
      convertTiledWithColoursSeries(dir.file("s").c_str(), dir.file("short.px").c_str(), options),
      ResultCode::ReadError);
  EXPECT_EQ(
      convertTiledBorderedSeries(dir.file("s").c_str(), dir.file("missing.px").c_str(), options),
      ResultCode::ReadError);
  // A folder that does not exist: the first file cannot be created, and none is left behind.
  EXPECT_EQ(
      convertTiledWithColoursSeries(dir.file("none/x").c_str(), dir.file("x.px").c_str(), options),
      ResultCode::WriteError);
  // A stem that leaves no room for its suffix, and one longer than a path buffer.
  std::string longBase = dir.path() + "/" + std::string(kPathCapacity - dir.path().size() - 6, 'a');
  EXPECT_EQ(convertTiledWithColoursSeries(longBase.c_str(), dir.file("x.px").c_str(), options),
            ResultCode::WriteError);
  std::string tooLong(kPathCapacity + 10, 'b');
  EXPECT_EQ(convertTiledWithColoursSeries(tooLong.c_str(), dir.file("x.px").c_str(), options),
            ResultCode::WriteError);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(listFolder(dir.path()), (std::vector<std::string>{"short.px", "x.px"}));
}

TEST(Series, MalformedFilesAreRefused) {
  ConversionOptions options;
  ScratchDir dir;
  TiledFile tiled = writer::tilePictures(TiledFamily::WithColours, 16, threePictures());
  tiled.imageCount = 20000;  // an index table far beyond the file: refused before any folder
  ASSERT_TRUE(test::writeFile(dir.file("x.px"), writer::writeTiled(tiled)));
  testing::internal::CaptureStdout();
  EXPECT_EQ(convertTiledWithColoursSeries(dir.file("x").c_str(), dir.file("x.px").c_str(), options),
            ResultCode::UnknownFormat);
  EXPECT_FALSE(fileExists(dir.file("x")));
  // A bad tile in image 1: image 0 is written, the series stops there.
  tiled.imageCount.reset();
  tiled.images[1][0] = 999;
  ASSERT_TRUE(test::writeFile(dir.file("x.px"), writer::writeTiled(tiled)));
  EXPECT_EQ(convertTiledWithColoursSeries(dir.file("x").c_str(), dir.file("x.px").c_str(), options),
            ResultCode::UnknownFormat);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(listFolder(dir.file("x")), (std::vector<std::string>{"x_0000.bmp"}));
}

// End to end: the built program on generated tiled files, every output compared byte for byte
// with files built from the pictures alone.
const uint8_t kGreen[3] = {0, 255, 0};

Picture mixed0B(int seed) {
  Picture p = patternPicture(40, 24, seed);
  fillRect(p, 16, 0, 16, 16, 0);
  fillRect(p, 32, 0, 8, 16, 0xFFFF2000u);
  fillRect(p, 16, 16, 16, 8, 0x80102030u);
  return p;
}

TEST(TiledEndToEnd, SingleImagesOfBothFamiliesWithAndWithoutRaw) {
  ScratchDir dir;
  Picture picture = mixed0B(1);
  TiledFile tiled0B = writer::tilePictures(TiledFamily::WithColours, 16, {picture});
  TiledFile tiled0C = writer::tilePictures(TiledFamily::Bordered, 16, {picture});
  tiled0C.indexPrefix = 1;
  ASSERT_TRUE(test::writeFile(dir.file("b.px"), writer::writeTiled(tiled0B)));
  ASSERT_TRUE(test::writeFile(dir.file("c.px"), writer::writeTiled(tiled0C)));
  for (const char* name : {"b", "c"}) {
    for (bool raw : {false, true}) {
      std::vector<std::string> args = {std::string(name) + ".px"};
      if (raw) args.insert(args.begin(), "-raw");
      test::RunResult run = test::runQuorvel(args, dir.path());
      EXPECT_EQ(run.out, "Cancel: Ctrl + C\n\ncomplete.\n") << name << raw;
      EXPECT_EQ(readFile(dir.file(std::string(name) + ".bmp")), seriesBmp(picture, !raw, kGreen))
          << name << raw;
    }
  }
}

TEST(TiledEndToEnd, SeriesWithAndWithoutStripPath) {
  ScratchDir dir;
  std::vector<Picture> pictures = {mixed0B(1), mixed0B(2), mixed0B(3)};
  ASSERT_TRUE(test::writeFile(dir.file("s.px"), writer::writeTiled(writer::tilePictures(
                                                    TiledFamily::WithColours, 16, pictures))));
  std::string counts =
      std::string("\n").append(itemsDone(0)).append(itemsDone(1)).append(itemsDone(2));
  test::RunResult run = test::runQuorvel({"s.px"}, dir.path());
  EXPECT_EQ(run.out, "Cancel: Ctrl + C\n" + counts + "\ncomplete.\n");
  run = test::runQuorvel({"-stripPath", "-raw", "s.px"}, dir.path());
  EXPECT_EQ(run.out, "Cancel: Ctrl + C\n" + counts + "\ncomplete.\n");
  for (int i = 0; i < 3; ++i) {
    std::string file = std::string("s_000").append(std::to_string(i)).append(".bmp");
    EXPECT_EQ(readFile(dir.file("s/" + file)), seriesBmp(pictures[i], true, kGreen)) << i;
    EXPECT_EQ(readFile(dir.file(file)), seriesBmp(pictures[i], false, nullptr)) << i;
  }
}

TEST(TiledEndToEnd, DamagedFilesGiveTheirStatusLine) {
  ScratchDir dir;
  TiledFile tiled = writer::tilePictures(TiledFamily::Bordered, 16, {mixed0B(4), mixed0B(5)});
  tiled.images[1][2] = -4;  // a negative entry in image 1
  ASSERT_TRUE(test::writeFile(dir.file("bad.px"), writer::writeTiled(tiled)));
  test::RunResult run = test::runQuorvel({"bad.px"}, dir.path());
  EXPECT_NE(run.out.find("bad.px: unknown format!"), std::string::npos) << run.out;
  EXPECT_EQ(listFolder(dir.file("bad")), (std::vector<std::string>{"bad_0000.bmp"}));
  Bytes shortFile = writer::writeTiled(tiled);
  shortFile.resize(31);
  ASSERT_TRUE(test::writeFile(dir.file("short.px"), shortFile));
  run = test::runQuorvel({"short.px"}, dir.path());
  EXPECT_NE(run.out.find("short.px: cannot read."), std::string::npos) << run.out;
  EXPECT_EQ(run.exitCode, 1);
}

// The bundled samples are what the writer makes now.
TEST(TiledEndToEnd, BundledSamplesAreCurrent) {
  const std::string folder = QUORVEL_SOURCE_DIR "/samples/";
  EXPECT_EQ(readFile(folder + "tiles0b.px"), writer::sampleTiles0B());
  EXPECT_EQ(readFile(folder + "tiles0c.px"), writer::sampleTiles0C());
  EXPECT_EQ(readFile(folder + "series0b.px"), writer::sampleSeries0B());
}

}  // namespace
}  // namespace quorvel
