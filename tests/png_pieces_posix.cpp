// PNG files whose rows are deflated in pieces, one IDAT chunk each, read back by libpng (which
// checks every chunk's CRC and the zlib stream's Adler-32): the pixels of pictures just below,
// at and just above the piece size, of rows wider than a piece and of odd widths, each piece with
// the filtering that suits it, the same bytes whatever the number of threads, and a file that
// cannot be written leaves nothing behind. A picture whose rows are made on demand (sliced)
// gives the same file as the whole picture.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "convert/png_writer.h"
#include "tests/support/png_file.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

using test::Bytes;

// A DIB (bottom-up, rows padded to 4 bytes) and the RGBA pixels libpng should read from its PNG.
struct Picture {
  BitmapInfoHeader header{};
  std::vector<RgbQuad> palette;
  Bytes bits;
  Bytes rgba;  // top row first

  DibView view() const {
    return DibView{&header, palette.empty() ? nullptr : palette.data(), bits.data(), bits.size()};
  }
};

uint8_t channel(size_t x, size_t y, unsigned salt) {
  return static_cast<uint8_t>(x * (3 + salt) + y * (5 + 2 * salt) + ((x * y) >> (4 + salt)));
}

// bitCount 8 (the grey ramp), 24 or 32.
Picture makePicture(int width, int height, int bitCount) {
  Picture picture;
  BitmapInfoHeader& h = picture.header;
  h.biSize = kInfoHeaderBytes;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<uint16_t>(bitCount);
  if (bitCount == 8) {
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<uint8_t>(i);
      picture.palette.push_back(RgbQuad{v, v, v, 0});
    }
  }
  const size_t rowBytes = static_cast<size_t>(dibRowBytes(&h));
  picture.bits.assign(rowBytes * height, 0);
  for (size_t y = 0; y < size_t(height); ++y) {
    uint8_t* row = picture.bits.data() + (height - 1 - y) * rowBytes;
    for (size_t x = 0; x < size_t(width); ++x) {
      const uint8_t r = channel(x, y, 0), g = channel(x, y, 1), b = channel(x, y, 2);
      const uint8_t a = bitCount == 32 ? channel(y, x, 3) : 255;
      if (bitCount == 8) {
        row[x] = r;
        picture.rgba.insert(picture.rgba.end(), {r, r, r, 255});
        continue;
      }
      uint8_t* pixel = row + x * (bitCount / 8);
      pixel[0] = b;
      pixel[1] = g;
      pixel[2] = r;
      if (bitCount == 32) pixel[3] = a;
      picture.rgba.insert(picture.rgba.end(), {r, g, b, a});
    }
  }
  return picture;
}

size_t idatChunks(const Bytes& png) {
  const std::string text(png.begin(), png.end());
  size_t count = 0;
  for (size_t at = text.find("IDAT"); at != std::string::npos; at = text.find("IDAT", at + 4)) {
    ++count;
  }
  return count;
}

struct Shape {
  int width, height, bitCount;
};

// Whole rows per piece, at least one.
size_t rowsPerPiece(const Shape& s) {
  const size_t pngRow = size_t(s.width) * (s.bitCount == 8 ? 1 : s.bitCount / 8);
  return std::max<size_t>(1, kPngPieceBytes / (pngRow + 1));
}

TEST(PngPieces, EveryPieceLayoutDecodesToThePicture) {
  const int rgbaRows = int(rowsPerPiece({1021, 1, 32}));
  const std::vector<Shape> shapes = {
      {1021, rgbaRows - 1, 32},  // just below one piece: one thread
      {1021, rgbaRows, 32},      // exactly one piece
      {1021, rgbaRows + 1, 32},  // one row over: a second piece of one row
      {1021, 2 * rgbaRows + 3, 32},
      {333, 1049, 24},  // odd width, padded DIB rows, two pieces
      {4099, 511, 8},   // grey, three pieces
      {300000, 3, 32},  // each row larger than a piece: a piece per row
      {1, 1, 32},
  };
  for (const Shape& s : shapes) {
    SCOPED_TRACE(std::to_string(s.width) + " x " + std::to_string(s.height) + " at " +
                 std::to_string(s.bitCount) + " bits");
    Picture picture = makePicture(s.width, s.height, s.bitCount);
    WorkerBudget workers(3);
    Bytes png;
    ASSERT_EQ(encodePng(picture.view(), png, &workers), ResultCode::Success);
    const size_t rows = rowsPerPiece(s);
    EXPECT_EQ(idatChunks(png), (size_t(s.height) + rows - 1) / rows);
    uint32_t width = 0, height = 0;
    Bytes rgba = test::readPngRgba(png, width, height);
    EXPECT_EQ(width, uint32_t(s.width));
    EXPECT_EQ(height, uint32_t(s.height));
    EXPECT_TRUE(rgba == picture.rgba) << "pixels differ";
  }
}

// The zlib stream of the IDAT chunks inflated: the filter type byte and the filtered bytes of each
// row.
Bytes filteredRows(const Bytes& png, size_t expected) {
  Bytes stream;
  for (size_t at = 8; at + 12 <= png.size();) {
    const size_t length =
        size_t(png[at]) << 24 | size_t(png[at + 1]) << 16 | size_t(png[at + 2]) << 8 | png[at + 3];
    if (std::string(png.begin() + at + 4, png.begin() + at + 8) == "IDAT") {
      stream.insert(stream.end(), png.begin() + at + 8, png.begin() + at + 8 + length);
    }
    at += 12 + length;
  }
  Bytes rows(expected + 1);
  uLongf written = rows.size();
  if (uncompress(rows.data(), &written, stream.data(), stream.size()) != Z_OK) return Bytes();
  rows.resize(written);
  return rows;
}

// Row y of the third piece, repeating in threes: a ramp of a small slope (the left neighbour
// predicts it, the noise above does not), a noise row (nothing predicts it) and that noise plus
// small values (the row above predicts it, the left neighbour does not; a plain copy would be
// found by deflate's matches whatever the filter). No single filter suits both the
// ramps and the copies; each row's own guess does.
uint8_t noise(size_t at) {
  uint32_t h = static_cast<uint32_t>(at) * 2654435761u;
  h ^= h >> 15;
  h *= 2246822519u;
  h ^= h >> 13;
  return static_cast<uint8_t>(h >> 24);
}

uint8_t mixedByte(size_t y, size_t i) {
  const size_t cycle = y / 3;
  switch (y % 3) {
    case 0:
      return static_cast<uint8_t>(i * (1 + cycle % 10));
    default:
      return static_cast<uint8_t>(noise(i + 7919 * cycle) + (y % 3 == 2 ? (i * i >> 5) & 3 : 0));
  }
}

TEST(PngPieces, EachPieceKeepsTheFilteringThatSuitsIt) {
  // Three pieces of RGB rows: the same noise row over and over (the row above predicts it), rows
  // that are random walks (the left neighbour does), and the mixed rows above.
  const Shape shape{1000, 0, 24};
  const size_t rows = rowsPerPiece(shape);
  Picture picture = makePicture(1000, int(3 * rows), 24);
  const size_t dibRow = size_t(dibRowBytes(&picture.header));
  for (size_t y = 0; y < 3 * rows; ++y) {
    uint8_t* row = picture.bits.data() + (3 * rows - 1 - y) * dibRow;
    uint8_t walk = noise(y);
    for (size_t i = 0; i < 3000; ++i) {
      walk = static_cast<uint8_t>(walk + noise(y * 3000 + i) % 5 - 2);
      const auto value = static_cast<uint8_t>(y < rows       ? (i * 2654435761u) >> 13
                                              : y < 2 * rows ? walk
                                                             : mixedByte(y - 2 * rows, i));
      row[i] = value;
      // The DIB stores blue, green, red; the PNG red, green, blue.
      picture.rgba[(y * 1000 + i / 3) * 4 + 2 - i % 3] = value;
    }
  }
  WorkerBudget workers(2);
  Bytes png;
  ASSERT_EQ(encodePng(picture.view(), png, &workers), ResultCode::Success);
  uint32_t width = 0, height = 0;
  EXPECT_TRUE(test::readPngRgba(png, width, height) == picture.rgba) << "pixels differ";
  const Bytes filtered = filteredRows(png, 3 * rows * 3001);
  ASSERT_EQ(filtered.size(), 3 * rows * 3001);
  for (size_t y = 1; y < rows; ++y) ASSERT_EQ(filtered[y * 3001], 2) << "row " << y;  // Up
  // The walks: each row's own guess, Sub for most (the left pixel is near).
  size_t sub = 0;
  for (size_t y = rows; y < 2 * rows; ++y) sub += filtered[y * 3001] == 1;
  EXPECT_GT(sub, rows / 2);
  for (size_t y = 2 * rows + 1; y < 3 * rows; ++y) {
    const size_t kind = (y - 2 * rows) % 3;
    if (kind == 0) {
      EXPECT_EQ(filtered[y * 3001], 1) << "ramp row " << y;  // Sub
    } else if (kind == 2) {
      EXPECT_EQ(filtered[y * 3001], 2) << "copied row " << y;  // Up
    }
  }
}

TEST(PngPieces, FileBytesDoNotDependOnTheThreads) {
  Picture picture = makePicture(777, 1500, 32);  // about four pieces
  Bytes alone;
  ASSERT_EQ(encodePng(picture.view(), alone), ResultCode::Success);
  ASSERT_GT(idatChunks(alone), 3u);
  for (int threads : {1, 2, 4, 7}) {
    WorkerBudget workers(threads);
    Bytes png;
    ASSERT_EQ(encodePng(picture.view(), png, &workers), ResultCode::Success);
    EXPECT_TRUE(png == alone) << threads << " threads";
  }
  test::ScratchDir scratch;
  WorkerBudget workers(2);
  ASSERT_EQ(writePngFile(scratch.file("a.png").c_str(), picture.view(), &workers),
            ResultCode::Success);
  EXPECT_TRUE(test::readFile(scratch.file("a.png")) == alone);
}

// The picture's rows made on demand, copied from its bits block; the scratch of each call is
// filled whole, so that a call given too little room shows (under the sanitizers).
SlicedPicture slicedFrom(const Picture& picture, size_t unreadableRow = SIZE_MAX) {
  SlicedPicture sliced;
  sliced.header = picture.header;
  sliced.palette = picture.palette.empty() ? nullptr : picture.palette.data();
  sliced.scratchRowBytes = 5;
  const size_t rowBytes = size_t(dibRowBytes(&picture.header));
  sliced.makeRows = [&picture, rowBytes, unreadableRow](size_t first, size_t count, uint8_t* out,
                                                        uint8_t* scratch) {
    std::fill(scratch, scratch + 5 * count, uint8_t{0xA5});
    if (unreadableRow >= first && unreadableRow < first + count) return false;
    std::copy_n(picture.bits.data() + first * rowBytes, count * rowBytes, out);
    return true;
  };
  return sliced;
}

TEST(PngPieces, ASlicedPictureGivesTheWholePicturesFile) {
  const std::vector<Shape> shapes = {
      {1021, int(rowsPerPiece({1021, 1, 32})) + 1, 32},  // a second piece of one row
      {333, 1049, 24},
      {4099, 511, 8},
      {300000, 3, 32},  // a piece per row
      {1, 1, 32},
  };
  test::ScratchDir scratch;
  for (const Shape& s : shapes) {
    SCOPED_TRACE(std::to_string(s.width) + " x " + std::to_string(s.height) + " at " +
                 std::to_string(s.bitCount) + " bits");
    Picture picture = makePicture(s.width, s.height, s.bitCount);
    Bytes whole;
    ASSERT_EQ(encodePng(picture.view(), whole), ResultCode::Success);
    const SlicedPicture sliced = slicedFrom(picture);
    for (int threads : {1, 2, 4}) {
      WorkerBudget workers(threads);
      const std::string path = scratch.file("sliced.png");
      ASSERT_EQ(writePngInSlices(path.c_str(), sliced, &workers), ResultCode::Success);
      EXPECT_TRUE(test::readFile(path) == whole) << threads << " threads";
    }
  }
  // A palette that is not the grey ramp: RGB from the palette, as from the whole picture.
  Picture coloured = makePicture(700, 1700, 8);
  for (size_t i = 0; i < 256; ++i) {
    coloured.palette[i] = RgbQuad{uint8_t(i * 7), uint8_t(255 - i), uint8_t(i / 3), 0};
  }
  Bytes whole;
  ASSERT_EQ(encodePng(coloured.view(), whole), ResultCode::Success);
  WorkerBudget workers(2);
  ASSERT_EQ(writePngInSlices(scratch.file("coloured.png").c_str(), slicedFrom(coloured), &workers),
            ResultCode::Success);
  EXPECT_TRUE(test::readFile(scratch.file("coloured.png")) == whole);
}

// Rows that cannot be made (a file cut short while it is read) fail the picture, whichever piece
// they fall in, and leave no file.
TEST(PngPieces, ASlicedPictureWhoseRowsCannotBeMadeLeavesNothing) {
  Picture picture = makePicture(900, 1500, 32);  // about six pieces
  test::ScratchDir scratch;
  for (size_t row : {size_t{0}, size_t{700}, size_t{1499}}) {
    WorkerBudget workers(3);
    EXPECT_EQ(writePngInSlices(scratch.file("a.png").c_str(), slicedFrom(picture, row), &workers),
              ResultCode::ReadError)
        << row;
    EXPECT_TRUE(test::listFolder(scratch.path()).empty()) << row;
  }
}

TEST(PngPieces, AFileThatCannotBeWrittenLeavesNothing) {
  test::ScratchDir scratch;
  Picture picture = makePicture(600, 900, 24);
  WorkerBudget workers(2);
  EXPECT_EQ(writePngFile(scratch.file("missing/a.png").c_str(), picture.view(), &workers),
            ResultCode::WriteError);
  // Bits shorter than the header says: refused before any file is made.
  DibView shortBits = picture.view();
  shortBits.bitsBytes -= 1;
  EXPECT_EQ(writePngFile(scratch.file("b.png").c_str(), shortBits, &workers),
            ResultCode::WriteError);
  Bytes png{1, 2, 3};
  EXPECT_EQ(encodePng(shortBits, png, &workers), ResultCode::WriteError);
  EXPECT_TRUE(png.empty());
  EXPECT_TRUE(test::listFolder(scratch.path()).empty());
}

}  // namespace
}  // namespace quorvel
