#include "decoders/tiled_bordered.h"

#include <gtest/gtest.h>

#include "decoders/tiled_picture_decoder.h"
#include "tests/tiled_test_util.h"

namespace quorvel {
namespace {

using namespace tiledtest;
using writer::TiledFamily;
using writer::TiledFile;
using writer::TileRecord;

// 40 x 24 in tiles of 16 (last column 8 wide, last row 8 high) with two empty cells, one of
// them partial.
Picture mixedPicture(int seed) {
  Picture p = patternPicture(40, 24, seed);
  fillRect(p, 16, 0, 16, 16, 0);
  fillRect(p, 32, 16, 8, 8, 0);
  return p;
}

TEST(TiledBorderedDecoder, RawKeepsEveryPixelWithAndWithoutIndexPrefix) {
  DecodeOptions options;
  options.blend = false;
  Picture picture = mixedPicture(1);
  for (uint16_t prefix : {0, 1}) {
    TiledFile tiled = writer::tilePictures(TiledFamily::Bordered, 16, {picture});
    tiled.indexPrefix = prefix;  // the skipped entry holds filler, not a usable index
    Bytes file = writer::writeTiled(tiled);
    TiledBorderedDecoder decoder;
    Decoded d = decode(decoder, file, options);
    ASSERT_EQ(d.code, ResultCode::Success) << prefix;
    EXPECT_EQ(d.header.biBitCount, 32);
    EXPECT_EQ(d.header.biHeight, 24);
    EXPECT_EQ(d.bits, expectedRows({picture}, false, nullptr)) << prefix;

    TiledLayout layout;
    ASSERT_TRUE(readTiledBorderedLayout(ByteView(file.data(), file.size()), layout));
    EXPECT_EQ(layout.records, 0x20u + 2 * (prefix + 6));
  }
}

TEST(TiledBorderedDecoder, BlendedFillsEmptyTilesWithTheBackgroundClippedAtTheEdges) {
  DecodeOptions options;
  const uint8_t background[3] = {40, 50, 60};
  std::copy(background, background + 3, options.background);
  Picture picture = mixedPicture(2);
  TiledFile tiled = writer::tilePictures(TiledFamily::Bordered, 16, {picture});
  tiled.indexPrefix = 1;
  Bytes file = writer::writeTiled(tiled);
  TiledBorderedDecoder decoder;
  Decoded d = decode(decoder, file, options);
  ASSERT_EQ(d.code, ResultCode::Success);
  EXPECT_EQ(d.header.biBitCount, 24);
  EXPECT_EQ(d.bits, expectedRows({picture}, true, background));
  PictureInfo info{};
  ASSERT_EQ(decoder.getPictureInfo(file.data(), uint32_t(file.size()), options, &info),
            ResultCode::Success);
  EXPECT_EQ(info.width, 40);
  EXPECT_EQ(info.height, 24);
  EXPECT_EQ(info.bitDepth, 24);
}

// A record stored as 18 x 18 is a 16 x 16 tile read from rows of 18 pixels; the filler in the
// two extra columns and rows never shows. Both renderers put every tile in its own cell, also
// after a tile narrower than the edge.
TEST(TiledBorderedDecoder, StoredTilesDropTheExtraColumnsAndStayInTheirCells) {
  DecodeOptions options;
  Picture a = patternPicture(16, 16, 3);
  Picture b = patternPicture(16, 16, 4);
  Bytes narrow;  // 10 x 16 taken from a
  for (int y = 0; y < 16; ++y)
    narrow.insert(narrow.end(), &a.pixels[y * 64], &a.pixels[y * 64 + 40]);
  TiledFile tiled;
  tiled.family = TiledFamily::Bordered;
  tiled.tileEdge = 16;
  tiled.width = 32;
  tiled.height = 16;
  tiled.tilesAcross = 2;
  tiled.tilesDown = 1;
  tiled.images = {{1, 2}};
  tiled.records = {TileRecord{10, 16, narrow}, TileRecord{16, 16, b.pixels}};
  Bytes file = writer::writeTiled(tiled);
  const size_t record2 = 0x20 + 4 + 18 * 18 * 4 + 2;
  ASSERT_EQ(file[record2], 18);
  ASSERT_EQ(file[record2 + 1], 18);

  Picture expected{32, 16, Bytes(32 * 16 * 4, 0)};
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      for (int k = 0; k < 4; ++k) {
        if (x < 10) expected.pixels[(y * 32 + x) * 4 + k] = a.pixels[(y * 16 + x) * 4 + k];
        expected.pixels[(y * 32 + 16 + x) * 4 + k] = b.pixels[(y * 16 + x) * 4 + k];
      }
    }
  }
  TiledBorderedDecoder decoder;
  options.blend = false;
  EXPECT_EQ(decode(decoder, file, options).bits, expectedRows({expected}, false, nullptr));
  options.blend = true;
  Bytes blended = expectedRows({expected}, true, options.background);
  for (int y = 0; y < 16; ++y)  // the six pixels the narrow tile leaves stay black
    std::fill(&blended[y * 96 + 30], &blended[y * 96 + 48], 0);
  EXPECT_EQ(decode(decoder, file, options).bits, blended);
}

TEST(TiledBorderedDecoder, StacksTheFirstEightImagesWithRecordsBehindTheWholeTable) {
  DecodeOptions options;
  options.blend = false;
  std::vector<Picture> pictures;
  for (int i = 0; i < 9; ++i) pictures.push_back(patternPicture(20, 18, i + 1));
  TiledFile tiled = writer::tilePictures(TiledFamily::Bordered, 16, pictures);
  tiled.indexPrefix = 1;
  Bytes file = writer::writeTiled(tiled);
  TiledBorderedDecoder decoder;
  Decoded d = decode(decoder, file, options);
  ASSERT_EQ(d.code, ResultCode::Success);
  EXPECT_EQ(d.header.biHeight, 8 * 18);
  pictures.pop_back();
  EXPECT_EQ(d.bits, expectedRows(pictures, false, nullptr));
}

TiledFile smallFile() {
  TiledFile tiled;
  tiled.family = TiledFamily::Bordered;
  tiled.tileEdge = 16;
  tiled.width = 32;
  tiled.height = 16;
  tiled.tilesAcross = 2;
  tiled.tilesDown = 1;
  tiled.images = {{1, 0}};
  tiled.records = {TileRecord{16, 16, Bytes(16 * 16 * 4, 7)}};
  return tiled;
}

TEST(TiledBorderedDecoder, RefusesMalformedFilesWithoutOutput) {
  DecodeOptions options;
  struct Case {
    const char* name;
    void (*spoil)(TiledFile&);
  };
  const Case cases[] = {
      {"negative entry", [](TiledFile& t) { t.images[0][1] = -1; }},
      {"index beyond the records", [](TiledFile& t) { t.images[0][1] = 2; }},
      {"stored width below 2", [](TiledFile& t) { t.records[0].width = 254; }},    // stored 0
      {"stored height below 2", [](TiledFile& t) { t.records[0].height = 255; }},  // stored 1
      {"tile wider than the edge", [](TiledFile& t) { t.records[0].width = 17; }},
      {"too many columns", [](TiledFile& t) { t.tilesAcross = 3; }},
      {"too few rows", [](TiledFile& t) { t.tilesDown = 0; }},
      {"negative width", [](TiledFile& t) { t.width = -32; }},
      {"no images", [](TiledFile& t) { t.imageCount = 0; }},
      {"huge count", [](TiledFile& t) { t.imageCount = 0xFFFF; }},
      {"prefix 2", [](TiledFile& t) { t.indexPrefix = 2; }},
      {"tile edge 0", [](TiledFile& t) { t.tileEdge = 0; }},
      {"tile edge too large for a stored size",
       [](TiledFile& t) {
         t.tileEdge = 254;
         t.width = 254;
         t.height = 16;
         t.tilesAcross = 1;
         t.images = {{0}};
       }},
  };
  TiledBorderedDecoder decoder;
  for (bool blended : {true, false}) {
    options.blend = blended;
    for (const Case& c : cases) {
      TiledFile tiled = smallFile();
      c.spoil(tiled);
      Decoded d = decode(decoder, writer::writeTiled(tiled), options);
      EXPECT_EQ(d.code, ResultCode::UnknownFormat) << c.name;
      EXPECT_TRUE(d.infoNull && d.bitsNull) << c.name;
    }
    Bytes file = writer::writeTiled(smallFile());
    // The last stored row used ends 2 + 15 * 72 + 64 bytes into the record.
    const size_t end = 0x24 + 2 + 15 * 72 + 64;
    EXPECT_EQ(decode(decoder, Bytes(file.begin(), file.begin() + end), options).code,
              ResultCode::Success);
    EXPECT_EQ(decode(decoder, Bytes(file.begin(), file.begin() + end - 1), options).code,
              ResultCode::UnknownFormat);
    EXPECT_EQ(decode(decoder, Bytes(file.begin(), file.begin() + 34), options).code,
              ResultCode::UnknownFormat);
  }
  // The byte after tilesDown is not part of it (the writer fills it): a sound file.
  Bytes file = writer::writeTiled(smallFile());
  EXPECT_NE(file[0x1F], 0);
  PictureInfo info{};
  EXPECT_EQ(decoder.getPictureInfo(file.data(), 31, options, &info), ResultCode::UnknownFormat);
}

TEST(TiledBorderedDecoder, SurvivesDamagedFiles) {
  TiledFile tiled = writer::tilePictures(TiledFamily::Bordered, 16, {mixedPicture(3)});
  tiled.indexPrefix = 1;
  Bytes sound = writer::writeTiled(tiled);
  TiledBorderedDecoder decoder;
  int decoded = decodeDamagedCopies(decoder, sound, 7);
  EXPECT_GT(decoded, 500);
}

}  // namespace
}  // namespace quorvel
