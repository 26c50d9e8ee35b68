// PNG files into 32-bit rasters (blue, green, red, straight alpha): every colour type, depth and
// interlacing, and refusals of damaged files before anything large is allocated.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

#include "pack/png_reader.h"
#include "tests/support/png_file.h"

namespace quorvel {
namespace {

using test::Bytes;
using test::PngImage;

bool read(const Bytes& file, Raster& raster, std::string& problem) {
  Bytes copy(file);  // exact size: the sanitizers see any read past the end
  return readPng(copy.data(), copy.size(), raster, problem);
}

Bytes readPixels(const PngImage& image) {
  Raster raster;
  std::string problem;
  EXPECT_TRUE(read(test::writePng(image), raster, problem)) << problem;
  EXPECT_EQ(raster.bitsPerPixel, 32);
  EXPECT_EQ(raster.width, image.width);
  EXPECT_EQ(raster.height, image.height);
  return raster.pixels;
}

PngImage rgba(uint32_t width, uint32_t height) {
  PngImage image;
  image.width = width;
  image.height = height;
  for (uint32_t i = 0; i < width * height; ++i) {
    image.rows.insert(image.rows.end(),
                      {static_cast<uint8_t>(i * 3), static_cast<uint8_t>(i * 5),
                       static_cast<uint8_t>(i * 7), static_cast<uint8_t>(i * 11)});
  }
  return image;
}

// One chunk: length, type, data, checksum.
void appendChunk(Bytes& png, const char* type, const Bytes& data) {
  const auto length = static_cast<uint32_t>(data.size());
  png.insert(png.end(),
             {uint8_t(length >> 24), uint8_t(length >> 16), uint8_t(length >> 8), uint8_t(length)});
  const size_t typeAt = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  const uLong crc = crc32(0, png.data() + typeAt, static_cast<uInt>(4 + data.size()));
  png.insert(png.end(), {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)});
}

// A PNG of the given header fields whose IDAT holds idat as it is.
Bytes handMadePng(uint8_t width, uint8_t colourType, const Bytes& palette, const Bytes& idat) {
  Bytes png{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  appendChunk(png, "IHDR", {0, 0, 0, width, 0, 0, 0, 1, 8, colourType, 0, 0, 0});
  if (!palette.empty()) appendChunk(png, "PLTE", palette);
  appendChunk(png, "IDAT", idat);
  appendChunk(png, "IEND", {});
  return png;
}

Bytes deflated(const Bytes& rows) {
  uLongf size = compressBound(static_cast<uLong>(rows.size()));
  Bytes out(size);
  compress(out.data(), &size, rows.data(), static_cast<uLong>(rows.size()));
  out.resize(size);
  return out;
}

// The same pixels as blue, green, red, alpha.
Bytes swapped(const Bytes& rgbaPixels) {
  Bytes out = rgbaPixels;
  for (size_t i = 0; i < out.size(); i += 4) std::swap(out[i], out[i + 2]);
  return out;
}

TEST(PngReader, ColoursAndAlphaComeThroughUnchanged) {
  PngImage image = rgba(13, 7);
  EXPECT_EQ(readPixels(image), swapped(image.rows));
  image.interlaced = true;
  EXPECT_EQ(readPixels(image), swapped(image.rows));
}

TEST(PngReader, EveryColourTypeBecomesStraightAlpha) {
  PngImage grey;
  grey.width = 3;
  grey.height = 1;
  grey.colourType = 0;
  grey.rows = {0, 128, 255};
  EXPECT_EQ(readPixels(grey), (Bytes{0, 0, 0, 255, 128, 128, 128, 255, 255, 255, 255, 255}));

  PngImage palette;
  palette.width = 4;
  palette.height = 1;
  palette.colourType = 3;
  palette.bitDepth = 2;
  palette.palette = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
  palette.transparency = {0, 128};
  palette.rows = {0x1B};  // indexes 0, 1, 2, 3
  EXPECT_EQ(readPixels(palette),
            (Bytes{30, 20, 10, 0, 60, 50, 40, 128, 90, 80, 70, 255, 120, 110, 100, 255}));

  PngImage rgb;
  rgb.width = 1;
  rgb.height = 2;
  rgb.colourType = 2;
  rgb.rows = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(readPixels(rgb), (Bytes{3, 2, 1, 255, 6, 5, 4, 255}));
}

TEST(PngReader, SixteenBitChannelsKeepTheirHighByte) {
  PngImage deep;
  deep.width = 2;
  deep.height = 1;
  deep.bitDepth = 16;
  deep.rows = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xFF, 0xFF,
               0x00, 0xFF, 0x80, 0x00, 0x01, 0x00, 0x00, 0x01};
  EXPECT_EQ(readPixels(deep), (Bytes{0x9A, 0x56, 0x12, 0xFF, 0x01, 0x80, 0x00, 0x00}));
}

TEST(PngReader, DamagedFilesAreRefused) {
  Bytes good = test::writePng(rgba(20, 20));
  Raster raster;
  std::string problem;
  EXPECT_FALSE(read(Bytes{'B', 'M', 0, 0}, raster, problem));
  EXPECT_EQ(problem, "not a PNG file");
  // A header announcing 16 million rows behind a few bytes of data: refused as damaged, before
  // the decoder would allocate room for them.
  Bytes tall = good;
  tall[20] = 0x00;
  tall[21] = 0xFF;
  tall[22] = 0xFF;
  tall[23] = 0xFF;
  EXPECT_FALSE(read(tall, raster, problem));
  EXPECT_NE(problem.find("damaged"), std::string::npos) << problem;
  Bytes wide = good;
  wide[16] = 0x01;  // width 16777216 + 20
  EXPECT_FALSE(read(wide, raster, problem));
  EXPECT_NE(problem.find("width or height"), std::string::npos) << problem;
  // An empty IDAT chunk in front of the data is valid (libpng reads it): the same pixels.
  Bytes empty = good;
  size_t idat = 8;
  while (std::memcmp(&empty[idat + 4], "IDAT", 4) != 0) {
    idat += 12 + (size_t{empty[idat + 2]} << 8 | empty[idat + 3]);
  }
  const uint8_t chunk[12] = {0, 0, 0, 0, 'I', 'D', 'A', 'T', 0x35, 0xAF, 0x06, 0x1E};
  empty.insert(empty.begin() + static_cast<std::ptrdiff_t>(idat), chunk, chunk + 12);
  EXPECT_TRUE(read(empty, raster, problem)) << problem;
  EXPECT_EQ(raster.pixels, readPixels(rgba(20, 20)));
  // A chunk that claims 2 GiB (found by fuzzing): the decoder would make room for it first.
  Bytes claiming = good;
  claiming[idat] = 0x7F;
  EXPECT_FALSE(read(claiming, raster, problem));
  EXPECT_NE(problem.find("damaged"), std::string::npos) << problem;
  // Cut anywhere, the last chunk's checksum included.
  for (size_t size = 0; size < good.size(); ++size) {
    EXPECT_FALSE(read(Bytes(good.begin(), good.begin() + size), raster, problem)) << size;
  }
}

// Damage the pixels come through today in a lenient reader: each is refused with what is wrong.
TEST(PngReader, DamageInsideTheDataIsRefused) {
  Raster raster;
  std::string problem;
  // A deflate block of the reserved type 3 (it ended the run with a crash once).
  Bytes reserved = handMadePng(1, 6, {}, {0x78, 0x9C, 0x07, 0x00});
  EXPECT_EQ(reserved.size(), 61u);
  EXPECT_FALSE(read(reserved, raster, problem));
  EXPECT_NE(problem.find("damaged"), std::string::npos) << problem;
  // Palette indices past a palette of one colour: their pixels would be memory nobody set.
  EXPECT_TRUE(read(handMadePng(2, 3, {1, 2, 3}, deflated({0, 0, 0})), raster, problem)) << problem;
  EXPECT_EQ(raster.pixels, (Bytes{3, 2, 1, 255, 3, 2, 1, 255}));
  EXPECT_FALSE(read(handMadePng(2, 3, {1, 2, 3}, deflated({0, 0, 5})), raster, problem));
  EXPECT_NE(problem.find("damaged"), std::string::npos) << problem;
  // A checksum that does not match, in IDAT and in an ancillary chunk; data cut short.
  Bytes good = handMadePng(2, 3, {1, 2, 3}, deflated({0, 0, 0}));
  Bytes badCrc = good;
  badCrc[badCrc.size() - 13] ^= 1;
  EXPECT_FALSE(read(badCrc, raster, problem));
  Bytes text = good;
  Bytes chunk;
  appendChunk(chunk, "tEXt", test::bytesOf("a\0b"));
  chunk.back() ^= 1;
  text.insert(text.begin() + 33, chunk.begin(), chunk.end());
  EXPECT_FALSE(read(text, raster, problem));
  EXPECT_FALSE(read(handMadePng(2, 3, {1, 2, 3}, {0x78, 0x9C}), raster, problem));
}

}  // namespace
}  // namespace quorvel
