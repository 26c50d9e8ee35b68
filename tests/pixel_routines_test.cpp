#include <gtest/gtest.h>

#include <vector>

#include "decoders/dib.h"
#include "decoders/pixel_rows.h"

namespace quorvel {
namespace {

TEST(BlendChannel, StaysBetweenItsInputsAndRoundsDown) {
  EXPECT_EQ(blendChannel(255, 0, 254), 254);
  EXPECT_EQ(blendChannel(0, 255, 254), 0);
  EXPECT_EQ(blendChannel(200, 100, 127), 150);
  EXPECT_EQ(blendChannel(100, 200, 127), 150);
  for (int s = 0; s < 256; s += 5) {
    for (int b = 0; b < 256; b += 7) {
      for (int a = 0; a < 256; ++a) {
        int v = blendChannel(s, b, a);
        ASSERT_GE(v, std::min(s, b));
        ASSERT_LE(v, std::max(s, b));
      }
    }
  }
}

TEST(BlendPixel, OpaqueCopiesTransparentGivesBackgroundOtherwiseBlends) {
  const uint8_t background[3] = {100, 100, 100};
  uint8_t out[3];
  const uint8_t opaque[4] = {1, 2, 3, 255};
  blendPixel(out, opaque, background);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[2], 3);
  const uint8_t clear[4] = {1, 2, 3, 0};
  blendPixel(out, clear, background);
  EXPECT_EQ(out[1], 100);
  const uint8_t half[4] = {200, 200, 200, 127};
  blendPixel(out, half, background);
  EXPECT_EQ(out[0], 150);
}

TEST(ScaleChannel, ScalesTowardBlack) {
  EXPECT_EQ(scaleChannel(200, 64), 100);
  EXPECT_EQ(scaleChannel(255, 127), 253);
  EXPECT_EQ(scaleChannel(255, 0), 0);
}

TEST(DibRows, PadToFourBytes) {
  BitmapInfoHeader h{};
  h.biWidth = 3;
  h.biHeight = 2;
  h.biBitCount = 24;
  EXPECT_EQ(dibRowBytes(&h), 12u);
  EXPECT_EQ(dibImageBytes(&h), 24u);
  h.biHeight = -2;  // top-down rows take as many bytes
  EXPECT_EQ(dibImageBytes(&h), 24u);
  // A bitmap of 3 GiB, which a BMP file holds, is past what 32 signed bits count.
  h.biWidth = 0x6000;
  h.biHeight = 0x8000;
  h.biBitCount = 32;
  EXPECT_EQ(dibRowBytes(&h), 0x18000u);
  EXPECT_EQ(dibImageBytes(&h), 0xC0000000u);
}

TEST(AllocateDib, RefusesSizesNoBmpCanHold) {
  DibOutput out;
  EXPECT_EQ(allocateDib(0, 5, 24, out), ResultCode::UnknownFormat);
  EXPECT_EQ(allocateDib(5, -1, 24, out), ResultCode::UnknownFormat);
  EXPECT_EQ(allocateDib(0x1000000, 1, 24, out), ResultCode::UnknownFormat);
  EXPECT_EQ(allocateDib(0xFFFFFF, 0xFFFFFF, 32, out), ResultCode::UnknownFormat);
  ASSERT_EQ(allocateDib(3, 2, 8, out), ResultCode::Success);
  EXPECT_NE(out.palette, nullptr);
  EXPECT_EQ(out.rowBytes, 4u);
  EXPECT_EQ(out.header->biSizeImage, 8u);
  DecodedBitmap bitmap;
  handOverDib(out, bitmap);
  EXPECT_EQ(out.bits, nullptr);  // handed over whole
  EXPECT_EQ(bitmap.infoBytes, 1064u);
  EXPECT_EQ(bitmap.pixelBytes, 8u);
  EXPECT_EQ(bitmap.header()->biWidth, 3);
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(bitmap.palette()), bitmap.info.get() + 40);
}

// The row blend against blendPixel, pixel by pixel: every alpha, widths around the four pixels the
// vector loop takes at a time (its tails and its last store), bytes beyond the row untouched.
TEST(BlendRowOver, GivesBlendPixelForEveryWidthAndAlpha) {
  const uint8_t backgrounds[][3] = {{0, 255, 0}, {17, 200, 255}, {255, 255, 255}};
  for (const auto& background : backgrounds) {
    const uint32_t packed = backgroundPixel(background);
    for (size_t width = 0; width <= 70; ++width) {
      std::vector<uint8_t> source(4 * width + 4);
      for (size_t i = 0; i < source.size(); ++i) {
        source[i] = static_cast<uint8_t>(i * 37 + width * 11 + background[1]);
      }
      for (size_t x = 0; x < width; ++x) {
        source[4 * x + 3] = static_cast<uint8_t>(x % 3 == 0 ? 0 : x % 3 == 1 ? 255 : x * 29 + 1);
      }
      std::vector<uint8_t> expected(3 * width + 8, 0xA5);
      for (size_t x = 0; x < width; ++x) {
        blendPixel(&expected[3 * x], &source[4 * x], background);
      }
      std::vector<uint8_t> vector(expected.size(), 0xA5), plain(expected.size(), 0xA5);
      blendRowOver(vector.data(), source.data(), width, packed);
      blendRowOverPlain(plain.data(), source.data(), width, packed);
      ASSERT_EQ(vector, expected) << "width " << width;
      ASSERT_EQ(plain, expected) << "width " << width;
    }
  }
  // Every alpha over every fourth source and background value.
  for (int b = 0; b < 256; b += 4) {
    const uint8_t background[3] = {static_cast<uint8_t>(b), static_cast<uint8_t>(255 - b),
                                   static_cast<uint8_t>(b / 2)};
    std::vector<uint8_t> source, expected(3 * 256 * 64 + 8, 0), row(expected.size(), 0);
    for (int s = 0; s < 256; s += 4) {
      for (int a = 0; a < 256; ++a) {
        source.insert(source.end(), {static_cast<uint8_t>(s), static_cast<uint8_t>(255 - s),
                                     static_cast<uint8_t>(s ^ 0x5A), static_cast<uint8_t>(a)});
      }
    }
    const size_t width = source.size() / 4;
    for (size_t x = 0; x < width; ++x) blendPixel(&expected[3 * x], &source[4 * x], background);
    blendRowOver(row.data(), source.data(), width, backgroundPixel(background));
    ASSERT_EQ(row, expected) << "background " << b;
  }
}

// The row scaling against scaleChannel: every stored alpha byte (its eighth bit ignored, 0 keeping
// the colour), widths around the vector step, bytes beyond the row untouched.
TEST(ScaleRowBySevenBitAlpha, GivesScaleChannelForEveryWidthAndAlpha) {
  for (size_t width = 0; width <= 300; width += width < 70 ? 1 : 23) {
    std::vector<uint8_t> source(4 * width);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i * 53 + width);
    for (size_t x = 0; x < width; ++x) source[4 * x + 3] = static_cast<uint8_t>(x * 7 + width);
    std::vector<uint8_t> expected(3 * width + 8, 0x5A);
    for (size_t x = 0; x < width; ++x) {
      const uint8_t alpha = source[4 * x + 3] & 0x7F;
      for (int k = 0; k < 3; ++k) {
        const uint8_t colour = source[4 * x + k];
        expected[3 * x + k] = alpha == 0 ? colour : scaleChannel(colour, alpha);
      }
    }
    std::vector<uint8_t> vector(expected.size(), 0x5A), plain(expected.size(), 0x5A);
    scaleRowBySevenBitAlpha(vector.data(), source.data(), width);
    scaleRowBySevenBitAlphaPlain(plain.data(), source.data(), width);
    ASSERT_EQ(vector, expected) << "width " << width;
    ASSERT_EQ(plain, expected) << "width " << width;
  }
}

}  // namespace
}  // namespace quorvel
