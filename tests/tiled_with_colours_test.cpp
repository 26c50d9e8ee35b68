#include "decoders/tiled_with_colours.h"

#include <gtest/gtest.h>

#include "decoders/tiled_picture_decoder.h"
#include "tests/tiled_test_util.h"

namespace quorvel {
namespace {

using namespace tiledtest;
using writer::TiledFamily;
using writer::TiledFile;
using writer::TileRecord;

constexpr uint32_t kOpaqueRed = 0xFFFF0000u;  // blue | green << 8 | red << 16 | alpha << 24
constexpr uint32_t kHalfBlue = 0x800000C0u;

// 40 x 24 in tiles of 16: the last column is 8 pixels wide and the last row 8 high. Stored,
// empty, opaque solid and half-transparent solid cells, partial ones among them.
Picture mixedPicture(int seed) {
  Picture p = patternPicture(40, 24, seed);
  fillRect(p, 16, 0, 16, 16, 0);          // empty
  fillRect(p, 32, 0, 8, 16, kOpaqueRed);  // solid, 8 wide
  fillRect(p, 16, 16, 16, 8, kHalfBlue);  // solid, 8 high
  return p;
}

TEST(TiledWithColoursDecoder, RawKeepsEveryPixelIncludingPartialLastTiles) {
  DecodeOptions options;
  options.blend = false;
  Picture picture = mixedPicture(1);
  TiledFile tiled = writer::tilePictures(TiledFamily::WithColours, 16, {picture});
  ASSERT_EQ(tiled.records.size(), 3u);  // the solid and empty cells took no records
  ASSERT_EQ(tiled.colours.size(), 2u);
  Bytes file = writer::writeTiled(tiled);

  TiledWithColoursDecoder decoder;
  Decoded d = decode(decoder, file, options);
  ASSERT_EQ(d.code, ResultCode::Success);
  EXPECT_EQ(d.header.biWidth, 40);
  EXPECT_EQ(d.header.biHeight, 24);
  EXPECT_EQ(d.header.biBitCount, 32);
  EXPECT_EQ(d.header.biSizeImage, 40u * 4 * 24);
  EXPECT_EQ(d.bits, expectedRows({picture}, false, nullptr));

  PictureInfo info{};
  ASSERT_EQ(decoder.getPictureInfo(file.data(), uint32_t(file.size()), options, &info),
            ResultCode::Success);
  EXPECT_EQ(info.width, 40);
  EXPECT_EQ(info.height, 24);
  EXPECT_EQ(info.bitDepth, 32);
}

TEST(TiledWithColoursDecoder, BlendedFillsEmptyTilesWithTheBackgroundAndBlendsTheRest) {
  DecodeOptions options;
  const uint8_t background[3] = {10, 20, 30};
  std::copy(background, background + 3, options.background);
  Picture picture = mixedPicture(2);
  Bytes file = writer::writeTiled(writer::tilePictures(TiledFamily::WithColours, 16, {picture}));

  TiledWithColoursDecoder decoder;
  Decoded d = decode(decoder, file, options);
  ASSERT_EQ(d.code, ResultCode::Success);
  EXPECT_EQ(d.header.biBitCount, 24);
  EXPECT_EQ(d.bits, expectedRows({picture}, true, background));
  PictureInfo info{};
  decoder.getPictureInfo(file.data(), uint32_t(file.size()), options, &info);
  EXPECT_EQ(info.bitDepth, 24);
}

// Solid tiles blend each channel with blendChannel even at alpha 0 and 255, so a transparent
// solid colour comes out as the background, one less where its channel is below it.
TEST(TiledWithColoursDecoder, BlendedSolidTileUsesBlendChannelForEveryAlpha) {
  DecodeOptions options;
  TiledFile tiled;
  tiled.tileEdge = 16;
  tiled.width = 20;
  tiled.height = 16;
  tiled.tilesAcross = 2;
  tiled.tilesDown = 1;
  tiled.colours = {0x00FF0000u, 0xFF332211u};  // red 255 alpha 0; opaque (0x11, 0x22, 0x33)
  tiled.images = {{-1, -2}};
  TiledWithColoursDecoder decoder;
  Decoded d = decode(decoder, writer::writeTiled(tiled), options);
  ASSERT_EQ(d.code, ResultCode::Success);
  const size_t rowBytes = 60;
  for (int y = 0; y < 16; ++y) {
    const uint8_t* row = &d.bits[y * rowBytes];
    // Background green (0, 255, 0): blue 0 stays, green 0 < 255 gives 254, red 255 > 0 gives 0.
    EXPECT_EQ(row[0], 0);
    EXPECT_EQ(row[1], 254);
    EXPECT_EQ(row[2], 0);
    EXPECT_EQ(row[15 * 3 + 1], 254);
    // The second tile is the last column, 4 pixels wide, exact at alpha 255.
    for (int x = 16; x < 20; ++x) {
      EXPECT_EQ(row[x * 3], 0x11);
      EXPECT_EQ(row[x * 3 + 2], 0x33);
    }
  }
}

// A stored tile whose width byte is 0 ends its tile row: the next row starts with the entry
// behind it, and the renderer answers the position after the entries it took.
TEST(TiledWithColoursDecoder, WidthZeroRecordEndsTheTileRow) {
  DecodeOptions options;
  options.blend = false;
  TiledFile tiled;
  tiled.tileEdge = 16;
  tiled.width = 48;
  tiled.height = 32;
  tiled.tilesAcross = 3;
  tiled.tilesDown = 2;
  tiled.colours = {0xFF0000AAu, 0xFF00BB00u};
  tiled.images = {{1, -1, -2, -2, 5, 5}};  // the last two are never taken
  tiled.records = {TileRecord{0, 16, {}}};
  Bytes file = writer::writeTiled(tiled);

  TiledWithColoursDecoder decoder;
  Decoded d = decode(decoder, file, options);
  ASSERT_EQ(d.code, ResultCode::Success);
  Picture expected{48, 32, Bytes(48 * 32 * 4, 0)};
  fillRect(expected, 0, 16, 16, 16, 0xFF0000AAu);  // entries 1, 2, 3 form the second row
  fillRect(expected, 16, 16, 32, 16, 0xFF00BB00u);
  EXPECT_EQ(d.bits, expectedRows({expected}, false, nullptr));

  Bytes band(48 * 4 * 32);
  TileBand view{band.data(), band.size(), 48 * 4, 48, 32};
  ByteView whole(file.data(), file.size());
  TiledLayout layout;
  ASSERT_TRUE(readTiledWithColoursLayout(whole, layout));
  ByteView records(file.data() + layout.records, file.size() - layout.records);
  EXPECT_EQ(renderTiledWithColoursRaw(view, records, whole, layout.firstIndex),
            layout.firstIndex + 8);
}

TEST(TiledWithColoursDecoder, StacksTheFirstEightImagesWithRecordsBehindTheWholeTable) {
  DecodeOptions options;
  options.blend = false;
  std::vector<Picture> pictures;
  for (int i = 0; i < 9; ++i) pictures.push_back(patternPicture(20, 18, i + 1));
  Bytes file = writer::writeTiled(writer::tilePictures(TiledFamily::WithColours, 16, pictures));

  TiledWithColoursDecoder decoder;
  Decoded d = decode(decoder, file, options);
  ASSERT_EQ(d.code, ResultCode::Success);
  EXPECT_EQ(d.header.biHeight, 8 * 18);
  pictures.pop_back();
  EXPECT_EQ(d.bits, expectedRows(pictures, false, nullptr));  // image 0 in the bottom band
  PictureInfo info{};
  decoder.getPictureInfo(file.data(), uint32_t(file.size()), options, &info);
  EXPECT_EQ(info.height, 8 * 18);
}

// Stored tiles at the right and bottom edges padded to the full tile are cut at the picture.
TEST(TiledWithColoursDecoder, PaddedEdgeTileIsClippedToThePicture) {
  DecodeOptions options;
  options.blend = false;
  Picture full = patternPicture(16, 16, 5);
  TiledFile tiled;
  tiled.tileEdge = 16;
  tiled.width = 10;
  tiled.height = 12;
  tiled.tilesAcross = 1;
  tiled.tilesDown = 1;
  tiled.images = {{1}};
  tiled.records = {TileRecord{16, 16, full.pixels}};
  TiledWithColoursDecoder decoder;
  Decoded d = decode(decoder, writer::writeTiled(tiled), options);
  ASSERT_EQ(d.code, ResultCode::Success);
  Picture expected{10, 12, Bytes(10 * 12 * 4)};
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 10; ++x)
      for (int k = 0; k < 4; ++k)
        expected.pixels[(y * 10 + x) * 4 + k] = full.pixels[(y * 16 + x) * 4 + k];
  EXPECT_EQ(d.bits, expectedRows({expected}, false, nullptr));
}

TiledFile smallFile() {
  TiledFile tiled;
  tiled.tileEdge = 16;
  tiled.width = 32;
  tiled.height = 16;
  tiled.tilesAcross = 2;
  tiled.tilesDown = 1;
  tiled.colours = {0xFF112233u, 0xFF445566u};
  tiled.images = {{1, -2}};
  tiled.records = {TileRecord{16, 16, Bytes(16 * 16 * 4, 7)}};
  return tiled;
}

TEST(TiledWithColoursDecoder, RefusesMalformedFilesWithoutOutput) {
  DecodeOptions options;
  struct Case {
    const char* name;
    void (*spoil)(TiledFile&);
  };
  const Case cases[] = {
      {"index beyond the records", [](TiledFile& t) { t.images[0][0] = 2; }},
      {"colour beyond the table", [](TiledFile& t) { t.images[0][1] = -3; }},
      {"most negative entry", [](TiledFile& t) { t.images[0][1] = -32768; }},
      {"tile wider than the edge", [](TiledFile& t) { t.records[0].width = 17; }},
      {"tile higher than the edge", [](TiledFile& t) { t.records[0].height = 17; }},
      {"too few columns", [](TiledFile& t) { t.tilesAcross = 1; }},
      {"too many rows", [](TiledFile& t) { t.tilesDown = 2; }},
      {"width 0", [](TiledFile& t) { t.width = 0; }},
      {"negative height", [](TiledFile& t) { t.height = -16; }},
      {"no images", [](TiledFile& t) { t.imageCount = 0; }},
      {"negative count", [](TiledFile& t) { t.imageCount = -5; }},
      {"huge count", [](TiledFile& t) { t.imageCount = 0x7FFFFFFF; }},
      {"tile edge 24", [](TiledFile& t) { t.tileEdge = 24; }},
  };
  TiledWithColoursDecoder decoder;
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
    // Cut inside the record's pixels, inside the index table, and inside the header.
    for (size_t size : {file.size() - 100, size_t{36}, size_t{31}}) {
      Bytes cut(file.begin(), file.begin() + size);
      EXPECT_EQ(decode(decoder, cut, options).code, ResultCode::UnknownFormat) << size;
    }
    Bytes colourCount = file;
    colourCount[6] = 0xFF;  // a colour table far beyond the file
    colourCount[7] = 0xFF;
    EXPECT_EQ(decode(decoder, colourCount, options).code, ResultCode::UnknownFormat);
  }
  PictureInfo info{};
  Bytes file = writer::writeTiled(smallFile());
  EXPECT_EQ(decoder.getPictureInfo(file.data(), 31, options, &info), ResultCode::UnknownFormat);
}

// Damaged copies of a sound file decode or are refused, never read or write out of bounds
// (the sanitizer build checks).
TEST(TiledWithColoursDecoder, SurvivesDamagedFiles) {
  Bytes sound =
      writer::writeTiled(writer::tilePictures(TiledFamily::WithColours, 16, {mixedPicture(3)}));
  TiledWithColoursDecoder decoder;
  int decoded = decodeDamagedCopies(decoder, sound, 42);
  EXPECT_GT(decoded, 500);  // most damage lands in pixels: the drawing paths ran
}

}  // namespace
}  // namespace quorvel
