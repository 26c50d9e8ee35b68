#include <gtest/gtest.h>

#include "decoders/dib.h"

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
  EXPECT_EQ(dibRowBytes(&h), 12);
  EXPECT_EQ(dibImageBytes(&h), 24);
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
  MemHandle info = nullptr, bits = nullptr;
  handOverDib(out, &info, &bits);
  EXPECT_EQ(localSize(info), 1064u);
  localFree(info);
  localFree(bits);
}

}  // namespace
}  // namespace quorvel
