#include "decoders/plain_picture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "decoders/decode_options.h"
#include "decoders/dib.h"
#include "tools/writer/px_writer.h"

namespace quorvel {
namespace {

using writer::Bytes;
using writer::PlainPicture;

struct Decoded {
  ResultCode result = ResultCode::NotImplemented;
  BitmapInfoHeader header{};  // packed: placed where its fields stay 4-byte aligned
  Bytes palette;              // 1024 bytes at 8 bits
  Bytes bits;
  bool infoHanded = false;
  bool bitsHanded = false;
};

Decoded decodeWith(const Bytes& file, const DecodeOptions& options) {
  Decoded d;
  PlainPictureDecoder decoder;
  DecodedBitmap bitmap;
  d.result = decoder.getPicture(file.data(), static_cast<uint32_t>(file.size()), options, bitmap);
  d.infoHanded = bitmap.info != nullptr;
  d.bitsHanded = bitmap.pixels != nullptr;
  if (!bitmap.empty()) {
    std::memcpy(&d.header, bitmap.info.get(), sizeof d.header);
    d.palette.assign(bitmap.info.get() + 40, bitmap.info.get() + bitmap.infoBytes);
  }
  if (bitmap.pixels != nullptr) {
    d.bits.assign(bitmap.pixels.get(), bitmap.pixels.get() + bitmap.pixelBytes);
  }
  return d;
}

PlainPicture picture(int32_t width, int32_t height, uint16_t kind, uint16_t depth) {
  PlainPicture p;
  p.width = width;
  p.height = height;
  p.kind = kind;
  p.depth = depth;
  p.rows.resize(writer::plainRowBytes(width, kind, depth) * static_cast<uint64_t>(height));
  for (size_t i = 0; i < p.rows.size(); ++i) p.rows[i] = static_cast<uint8_t>(i * 37 + 11);
  return p;
}

class PlainPictureDecoderTest : public ::testing::Test {
 protected:
  Decoded decode(const Bytes& file) { return decodeWith(file, options); }
  DecodeOptions options;
};

TEST_F(PlainPictureDecoderTest, GreyEightBitPictureGetsARampAndPaddedBottomUpRows) {
  PlainPicture p = picture(3, 2, 1, 8);
  p.rows = {1, 2, 3, 4, 5, 6};
  Decoded d = decode(writePlainPicture(p));
  ASSERT_EQ(d.result, ResultCode::Success);
  EXPECT_EQ(d.header.biSize, 40u);
  EXPECT_EQ(d.header.biWidth, 3);
  EXPECT_EQ(d.header.biHeight, 2);
  EXPECT_EQ(d.header.biPlanes, 1);
  EXPECT_EQ(d.header.biBitCount, 8);
  EXPECT_EQ(d.header.biCompression, 0u);
  EXPECT_EQ(d.header.biSizeImage, 8u);
  ASSERT_EQ(d.palette.size(), 1024u);
  for (int i = 0; i < 256; ++i) {
    ASSERT_EQ(Bytes(d.palette.begin() + 4 * i, d.palette.begin() + 4 * i + 4),
              (Bytes{uint8_t(i), uint8_t(i), uint8_t(i), 0}));
  }
  EXPECT_EQ(d.bits, (Bytes{4, 5, 6, 0, 1, 2, 3, 0}));  // top row last
}

TEST_F(PlainPictureDecoderTest, IndexedEightBitPictureTakesItsColourTableFromTheFile) {
  PlainPicture p = picture(2, 1, 7, 8);
  for (int i = 0; i < 1024; ++i) p.palette.push_back(static_cast<uint8_t>(i * 3 + 1));
  p.rows = {9, 200};
  Bytes file = writePlainPicture(p);
  Decoded d = decode(file);
  ASSERT_EQ(d.result, ResultCode::Success);
  EXPECT_EQ(d.palette, p.palette);  // fourth bytes included
  EXPECT_EQ(d.bits, (Bytes{9, 200, 0, 0}));
}

TEST_F(PlainPictureDecoderTest, SixteenBitKindsCopyTheirPixels) {
  for (uint16_t kind : {0, 1, 5, 0xFFFF}) {
    PlainPicture p = picture(3, 2, kind, 16);
    Decoded d = decode(writePlainPicture(p));
    ASSERT_EQ(d.result, ResultCode::Success) << kind;
    EXPECT_EQ(d.header.biBitCount, 16);
    Bytes expected(16, 0);
    std::memcpy(&expected[8], &p.rows[0], 6);
    std::memcpy(&expected[0], &p.rows[6], 6);
    EXPECT_EQ(d.bits, expected) << kind;
  }
}

TEST_F(PlainPictureDecoderTest, KindTwoKeepsTheFirstHalfOfEachFourByteGroup) {
  PlainPicture p = picture(2, 1, 2, 16);
  p.rows = {1, 2, 3, 4, 5, 6, 7, 8};
  Decoded d = decode(writePlainPicture(p));
  ASSERT_EQ(d.result, ResultCode::Success);
  EXPECT_EQ(d.bits, (Bytes{1, 2, 5, 6}));
}

TEST_F(PlainPictureDecoderTest, KindThreeStoresPairsAndLeavesAnOddLastPixelZero) {
  PlainPicture p = picture(5, 1, 3, 16);
  ASSERT_EQ(p.rows.size(), 16u);
  for (int i = 0; i < 16; ++i) p.rows[i] = static_cast<uint8_t>(i + 1);
  Decoded d = decode(writePlainPicture(p));
  ASSERT_EQ(d.result, ResultCode::Success);
  EXPECT_EQ(d.bits, (Bytes{5, 6, 7, 8, 13, 14, 15, 16, 0, 0, 0, 0}));
}

TEST_F(PlainPictureDecoderTest, ThirtyTwoBitRawKeepsAllFourBytes) {
  options.blend = false;
  PlainPicture p = picture(2, 2, 10, 32);
  Decoded d = decode(writePlainPicture(p));
  ASSERT_EQ(d.result, ResultCode::Success);
  EXPECT_EQ(d.header.biBitCount, 32);
  Bytes expected(p.rows.begin() + 8, p.rows.end());
  expected.insert(expected.end(), p.rows.begin(), p.rows.begin() + 8);
  EXPECT_EQ(d.bits, expected);
}

// Every alpha over several backgrounds and widths (the row end is stored differently): the
// decoder's rows equal blendPixel applied pixel by pixel.
TEST_F(PlainPictureDecoderTest, BlendedRowsMatchBlendPixelForEveryAlpha) {
  std::mt19937 random(5);
  const uint8_t backgrounds[][3] = {{0, 255, 0}, {255, 255, 255}, {0, 0, 0}, {17, 128, 240}};
  for (const auto& bg : backgrounds) {
    for (int32_t width : {1, 2, 3, 256}) {
      std::memcpy(options.background, bg, 3);
      PlainPicture p = picture(width, 300 / width + 1, 1, 32);
      for (size_t i = 0; i < p.rows.size(); ++i) p.rows[i] = static_cast<uint8_t>(random());
      for (size_t i = 3; i < p.rows.size(); i += 4) p.rows[i] = static_cast<uint8_t>(i / 4);
      Decoded d = decode(writePlainPicture(p));
      ASSERT_EQ(d.result, ResultCode::Success);
      ASSERT_EQ(d.header.biBitCount, 24);
      size_t rowBytes = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
      Bytes expected(rowBytes * p.height, 0);
      for (int32_t y = 0; y < p.height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
          blendPixel(&expected[(p.height - 1 - y) * rowBytes + 3 * x],
                     &p.rows[(static_cast<size_t>(y) * width + x) * 4], bg);
        }
      }
      ASSERT_EQ(d.bits, expected) << "width " << width << " bg " << int(bg[2]);
    }
  }
}

TEST_F(PlainPictureDecoderTest, TransparentPixelsBecomeTheBackgroundExactly) {
  PlainPicture p = picture(1, 1, 1, 32);
  p.rows = {10, 20, 30, 0};
  EXPECT_EQ(decode(writePlainPicture(p)).bits, (Bytes{0, 255, 0, 0}));
  options.background[0] = 200;
  options.background[2] = 100;
  EXPECT_EQ(decode(writePlainPicture(p)).bits, (Bytes{200, 255, 100, 0}));
}

TEST_F(PlainPictureDecoderTest, PrefixedPictureDecodesLikeThePlainOne) {
  PlainPicture p = picture(7, 3, 1, 32);
  Decoded plain = decode(writePlainPicture(p));
  p.prefixed = true;
  Bytes file = writePlainPicture(p);
  EXPECT_EQ(pxHeaderStart(file.data()), file.data() + 32);
  Decoded prefixed = decode(file);
  ASSERT_EQ(prefixed.result, ResultCode::Success);
  EXPECT_EQ(prefixed.bits, plain.bits);
  EXPECT_EQ(std::memcmp(&prefixed.header, &plain.header, 40), 0);
}

TEST_F(PlainPictureDecoderTest, PictureInfoNeedsSixtyFourBytesAndReportsTheOutputDepth) {
  PlainPictureDecoder decoder;
  PictureInfo info{};
  Bytes file = writePlainPicture(picture(5, 4, 1, 32));
  EXPECT_EQ(decoder.getPictureInfo(file.data(), 63, options, &info), ResultCode::UnknownFormat);
  ASSERT_EQ(decoder.getPictureInfo(file.data(), 64, options, &info), ResultCode::Success);
  EXPECT_EQ(info.width, 5);
  EXPECT_EQ(info.height, 4);
  EXPECT_EQ(info.bitDepth, 24);
  EXPECT_EQ(info.left, 0);
  options.blend = false;
  decoder.getPictureInfo(file.data(), 64, options, &info);
  EXPECT_EQ(info.bitDepth, 32);
  PlainPicture prefixed = picture(9, 2, 0, 16);
  prefixed.prefixed = true;
  Bytes second = writePlainPicture(prefixed);
  ASSERT_EQ(decoder.getPictureInfo(second.data(), 64, options, &info), ResultCode::Success);
  EXPECT_EQ(info.width, 9);
  EXPECT_EQ(info.bitDepth, 16);
}

TEST_F(PlainPictureDecoderTest, HostileHeadersAnswerUnknownFormatWithoutOutputs) {
  auto expectRefused = [this](const Bytes& file, const char* what) {
    Decoded d = decode(file);
    EXPECT_EQ(d.result, ResultCode::UnknownFormat) << what;
    EXPECT_FALSE(d.infoHanded) << what;
    EXPECT_FALSE(d.bitsHanded) << what;
  };
  Bytes good = writePlainPicture(picture(4, 3, 1, 32));
  expectRefused(Bytes(good.begin(), good.end() - 1), "one byte short");
  expectRefused(Bytes(good.begin(), good.begin() + 32), "header only");
  expectRefused(Bytes(good.begin(), good.begin() + 20), "cut header");
  expectRefused(Bytes(), "empty");
  PlainPicture tall = picture(4, 3, 1, 32);
  tall.height = 1000000;
  expectRefused(writePlainPicture(tall), "more rows than the file holds");
  for (int32_t bad : {0, -1, INT32_MIN, 0x1000000}) {
    PlainPicture wide = picture(4, 3, 1, 32);
    wide.width = bad;
    expectRefused(writePlainPicture(wide), "width");
    PlainPicture high = picture(4, 3, 1, 32);
    high.height = bad;
    expectRefused(writePlainPicture(high), "height");
  }
  for (uint16_t depth : {0, 1, 4, 12, 24, 64}) {
    PlainPicture odd = picture(4, 3, 1, 8);
    odd.depth = depth;
    odd.rows.resize(4 * 3 * 8);
    expectRefused(writePlainPicture(odd), "depth");
  }
  PlainPicture noTable = picture(4, 3, 7, 8);
  noTable.palette.resize(100);
  noTable.rows.clear();
  expectRefused(writePlainPicture(noTable), "colour table cut short");
  PlainPicture prefixedShort = picture(4, 3, 1, 32);
  prefixedShort.prefixed = true;
  Bytes cut = writePlainPicture(prefixedShort);
  expectRefused(Bytes(cut.begin(), cut.begin() + 50), "prefixed, header cut");
  // The largest acceptable sides with a 32-bit image beyond what a BMP file can hold.
  PlainPicture huge = picture(1, 1, 1, 32);
  huge.width = 0xFFFFFF;
  huge.height = 0xFFFFFF;
  expectRefused(writePlainPicture(huge), "huge");
}

TEST_F(PlainPictureDecoderTest, KindThreeOfWidthOneNeedsNoPixelBytes) {
  PlainPicture p = picture(1, 4, 3, 16);
  EXPECT_TRUE(p.rows.empty());
  Decoded d = decode(writePlainPicture(p));
  ASSERT_EQ(d.result, ResultCode::Success);
  EXPECT_EQ(d.bits, Bytes(16, 0));
}

}  // namespace
}  // namespace quorvel
