// BMP files into rasters: every layout other programs write, and refusals of what cannot be
// read, without ever reading outside the file.
#include "pack/bmp_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "tools/writer/bmp_file.h"

namespace quorvel {
namespace {

using writer::BmpFile;
using writer::Bytes;

// Reads from an exact-size heap copy, so that the sanitizers see any read past the end.
bool read(const Bytes& file, Raster& raster, std::string& problem) {
  Bytes copy(file);
  return readBmp(copy.data(), copy.size(), raster, problem);
}

Raster readOk(const Bytes& file) {
  Raster raster;
  std::string problem;
  EXPECT_TRUE(read(file, raster, problem)) << problem;
  return raster;
}

std::string refusal(const Bytes& file) {
  Raster raster;
  std::string problem;
  EXPECT_FALSE(read(file, raster, problem));
  return problem;
}

Bytes counting(size_t size, int step) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * step + 1);
  return bytes;
}

BmpFile bmpOf(int32_t width, int32_t height, uint16_t bitCount) {
  BmpFile bmp;
  bmp.width = width;
  bmp.height = height;
  bmp.bitCount = bitCount;
  bmp.rows = counting((static_cast<size_t>(width) * bitCount + 7) / 8 * std::abs(height), 7);
  if (bitCount <= 8) bmp.palette = counting(size_t{4} << bitCount, 3);
  return bmp;
}

TEST(BmpReader, DepthsThePictureFormatsStoreStayAsTheyAre) {
  for (uint16_t bits : {8, 16, 24, 32}) {
    for (int32_t height : {5, -5}) {  // bottom-up and top-down
      BmpFile bmp = bmpOf(7, height, bits);
      Raster raster = readOk(writer::writeBmp(bmp));
      EXPECT_EQ(raster.bitsPerPixel, bits);
      EXPECT_EQ(raster.width, 7);
      EXPECT_EQ(raster.height, 5);
      EXPECT_EQ(raster.pixels, bmp.rows) << bits << " bits, height " << height;
      if (bits == 8) {
        Bytes palette = bmp.palette;
        palette.resize(1024, 0);
        EXPECT_EQ(raster.palette, palette);
      }
    }
  }
}

TEST(BmpReader, NewerHeadersAndShortColourTables) {
  BmpFile bmp = bmpOf(3, 2, 8);
  bmp.headerSize = 124;
  bmp.palette.resize(4 * 5);
  bmp.coloursUsed = 5;
  Raster raster = readOk(writer::writeBmp(bmp));
  EXPECT_EQ(raster.pixels, bmp.rows);
  EXPECT_TRUE(std::equal(raster.palette.begin(), raster.palette.begin() + 20, bmp.palette.begin()));
  EXPECT_TRUE(std::all_of(raster.palette.begin() + 20, raster.palette.end(),
                          [](uint8_t b) { return b == 0; }));
}

TEST(BmpReader, OneAndFourBitPicturesBecomeIndexesWithTheirColours) {
  BmpFile one = bmpOf(10, 2, 1);
  one.rows = {0xA5, 0x40, 0xFF, 0xC0};  // 1010010101, 1111111111
  Raster raster = readOk(writer::writeBmp(one));
  EXPECT_EQ(raster.bitsPerPixel, 8);
  EXPECT_EQ(raster.pixels, (Bytes{1, 0, 1, 0, 0, 1, 0, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
  EXPECT_TRUE(std::equal(one.palette.begin(), one.palette.end(), raster.palette.begin()));

  BmpFile four = bmpOf(3, 1, 4);
  four.rows = {0x1F, 0x70};
  EXPECT_EQ(readOk(writer::writeBmp(four)).pixels, (Bytes{1, 15, 7}));
}

// One pixel of a masked BMP as the reader makes it: blue, green, red, alpha.
Bytes maskedPixel(uint16_t bits, uint32_t compression, std::vector<uint32_t> masks, uint32_t pixel,
                  uint32_t headerSize = 40) {
  BmpFile bmp;
  bmp.width = 1;
  bmp.height = 1;
  bmp.bitCount = bits;
  bmp.compression = compression;
  bmp.headerSize = headerSize;
  bmp.masks = std::move(masks);
  for (int i = 0; i < bits / 8; ++i) bmp.rows.push_back(static_cast<uint8_t>(pixel >> (8 * i)));
  Raster raster = readOk(writer::writeBmp(bmp));
  EXPECT_EQ(raster.bitsPerPixel, 32);
  return raster.pixels;
}

TEST(BmpReader, OtherMaskLayoutsBecome32BitPixels) {
  // 5-6-5: red 31, green 32, blue 1, widened to 8 bits and opaque.
  EXPECT_EQ(maskedPixel(16, 3, {0xF800, 0x07E0, 0x001F}, (31u << 11) | (32u << 5) | 1),
            (Bytes{8, 130, 255, 255}));
  // 1-5-5-5 with its alpha bit.
  EXPECT_EQ(maskedPixel(16, 6, {0x7C00, 0x03E0, 0x001F, 0x8000}, 0x8000 | 31),
            (Bytes{255, 0, 0, 255}));
  // 32 bits without an alpha mask: the fourth byte is not alpha.
  EXPECT_EQ(maskedPixel(32, 3, {0xFF0000, 0xFF00, 0xFF}, 0x11223344),
            (Bytes{0x44, 0x33, 0x22, 255}));
  // Red, green, blue, alpha from the top byte down, masks inside a version 5 header.
  EXPECT_EQ(maskedPixel(32, 3, {0xFF000000, 0xFF0000, 0xFF00, 0xFF}, 0x11223344, 124),
            (Bytes{0x33, 0x22, 0x11, 0x44}));
}

TEST(BmpReader, MasksOfTheStoredLayoutsKeepThePixels) {
  BmpFile word = bmpOf(3, 2, 16);
  word.compression = 3;
  word.masks = {0x7C00, 0x03E0, 0x001F};
  EXPECT_EQ(readOk(writer::writeBmp(word)).bitsPerPixel, 16);
  BmpFile alpha = bmpOf(3, 2, 32);
  alpha.compression = 3;
  alpha.headerSize = 108;
  alpha.masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
  EXPECT_EQ(readOk(writer::writeBmp(alpha)).pixels, alpha.rows);
}

TEST(BmpReader, RefusesWhatItCannotReadWithAReason) {
  const std::vector<std::pair<const char*, std::function<void(BmpFile&)>>> cases = {
      {"run-length", [](BmpFile& b) { b.compression = 1; }},
      {"run-length", [](BmpFile& b) { b.compression = 2; }},
      {"JPEG", [](BmpFile& b) { b.compression = 4; }},
      {"unknown BMP compression", [](BmpFile& b) { b.compression = 9; }},
      {"12- or 64-byte header", [](BmpFile& b) { b.headerSize = 12; }},
      {"unknown BMP header", [](BmpFile& b) { b.headerSize = 41; }},
      {"bits per pixel", [](BmpFile& b) { b.bitCount = 2; }},
      {"bits per pixel", [](BmpFile& b) { b.bitCount = 64; }},
      {"width or height", [](BmpFile& b) { b.width = 0; }},
      {"more colours", [](BmpFile& b) { b.coloursUsed = 257; }},
      {"colour masks on a BMP", [](BmpFile& b) { b.compression = 3; }},
  };
  for (const auto& [reason, change] : cases) {
    BmpFile bmp = bmpOf(4, 3, 8);
    change(bmp);
    std::string problem = refusal(writer::writeBmp(bmp));
    EXPECT_NE(problem.find(reason), std::string::npos) << reason << ": " << problem;
  }
  BmpFile gappy = bmpOf(2, 2, 16);
  gappy.compression = 3;
  gappy.masks = {0x7A00, 0x03E0, 0x001F};
  EXPECT_NE(refusal(writer::writeBmp(gappy)).find("runs of bits"), std::string::npos);
  gappy.masks = {0x7C00, 0, 0x001F};
  EXPECT_NE(refusal(writer::writeBmp(gappy)).find("empty"), std::string::npos);
  EXPECT_EQ(refusal(Bytes{'P', 'K', 3, 4}), "not a BMP file");
}

TEST(BmpReader, LyingSizesAreRefusedBeforeAnythingIsAllocated) {
  Bytes file = writer::writeBmp(bmpOf(4, 4, 24));
  auto patch32 = [&](size_t at, uint32_t v) {
    Bytes changed = file;
    for (int i = 0; i < 4; ++i) changed[at + i] = static_cast<uint8_t>(v >> (8 * i));
    return changed;
  };
  EXPECT_NE(refusal(patch32(18, 16777215)).find("ends before"), std::string::npos);  // width
  EXPECT_NE(refusal(patch32(22, 0x80000000u)).find("width or height"), std::string::npos);
  EXPECT_NE(refusal(patch32(10, 0xFFFFFFF0u)).find("ends before"), std::string::npos);  // offset
  // Cut anywhere, every version of the file is refused, never read past.
  for (const Bytes& whole : {file, writer::writeBmp(bmpOf(8, 3, 4))}) {
    for (size_t size = 0; size < whole.size(); ++size) {
      Raster raster;
      std::string problem;
      EXPECT_FALSE(read(Bytes(whole.begin(), whole.begin() + size), raster, problem)) << size;
    }
  }
}

}  // namespace
}  // namespace quorvel
