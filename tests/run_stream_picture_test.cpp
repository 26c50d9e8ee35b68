#include "decoders/run_stream_picture.h"

#include <gtest/gtest.h>

#include "decoders/alpha_output.h"
#include "decoders/decode_options.h"
#include "tests/support/decoded_picture.h"
#include "tools/writer/px04_writer.h"

namespace quorvel {
namespace {

using test::blendOptions;
using test::DecodedPicture;
using test::decodePicture;
using writer::buildPx04;
using writer::Bytes;
using writer::DirectRun;
using writer::Px04Picture;

DirectRun run(int rows, int columns, Bytes pixels) {
  return writer::directRun(rows, columns, std::move(pixels));
}

DecodedPicture decode(const Bytes& file, const DecodeOptions& options = {}) {
  RunStreamPictureDecoder decoder;
  return decodePicture(decoder, file, options);
}

Px04Picture picture(int width, int height, std::vector<DirectRun> runs) {
  Px04Picture p;
  p.width = width;
  p.height = height;
  p.runs = std::move(runs);
  return p;
}

TEST(RunStreamPictureDecoder, UncoveredPixelsAreBlackAndTransparentNeverTheBackground) {
  ASSERT_NE(DecodeOptions{}.background[1], 0);  // green by default: must not show
  Bytes file = buildPx04(picture(2, 2, {run(1, 1, {10, 20, 30, 0})}));
  {
    const DecodeOptions blend = blendOptions(true);
    DecodedPicture out = decode(file, blend);
    ASSERT_EQ(out.result, ResultCode::Success);
    EXPECT_EQ(out.header.biBitCount, 24);
    EXPECT_EQ(out.infoBytes, 40u);
    EXPECT_EQ(out.pixelBytes(0, 0), (Bytes{0, 0, 0}));
    EXPECT_EQ(out.pixelBytes(1, 0), (Bytes{0, 0, 0}));
    EXPECT_EQ(out.pixelBytes(0, 1), (Bytes{0, 0, 0}));
    EXPECT_EQ(out.pixelBytes(1, 1), (Bytes{10, 20, 30}));
  }
  const DecodeOptions raw = blendOptions(false);
  DecodedPicture out = decode(file, raw);
  ASSERT_EQ(out.result, ResultCode::Success);
  EXPECT_EQ(out.header.biBitCount, 32);
  EXPECT_EQ(out.pixelBytes(0, 1), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(out.pixelBytes(1, 1), (Bytes{10, 20, 30, 255}));
}

TEST(RunStreamPictureDecoder, BlendingScalesTowardBlackAndRawRewritesTheAlpha) {
  // Alpha bytes 0, 128, 32, 160 (32 with the top bit), 1, 64, 127.
  const uint8_t alphas[] = {0, 128, 32, 160, 1, 64, 127};
  Bytes pixels;
  for (uint8_t a : alphas) pixels.insert(pixels.end(), {200, 101, 255, a});
  Bytes file = buildPx04(picture(7, 1, {run(0, 0, pixels)}));
  {
    const DecodeOptions blend = blendOptions(true);
    DecodedPicture out = decode(file, blend);
    ASSERT_EQ(out.result, ResultCode::Success);
    EXPECT_EQ(out.pixelBytes(0, 0), (Bytes{200, 101, 255}));
    EXPECT_EQ(out.pixelBytes(1, 0), (Bytes{200, 101, 255}));
    EXPECT_EQ(out.pixelBytes(2, 0), (Bytes{50, 25, 63}));
    EXPECT_EQ(out.pixelBytes(3, 0), (Bytes{50, 25, 63}));
    for (int x = 4; x < 7; ++x) {
      uint8_t a = alphas[x] & 0x7F;
      EXPECT_EQ(out.pixelBytes(x, 0),
                (Bytes{scaleChannel(200, a), scaleChannel(101, a), scaleChannel(255, a)}));
    }
  }
  const DecodeOptions raw = blendOptions(false);
  DecodedPicture out = decode(file, raw);
  ASSERT_EQ(out.result, ResultCode::Success);
  const uint8_t expected[] = {255, 0, 64, 64, 2, 128, 254};
  for (int x = 0; x < 7; ++x) {
    EXPECT_EQ(out.pixelBytes(x, 0), (Bytes{200, 101, 255, expected[x]})) << "x " << x;
  }
}

TEST(RunStreamPictureDecoder, RunsPlaceRelativelyWrapRowsAndMayMoveBackward) {
  const DecodeOptions blend = blendOptions(false);
  const Bytes a = {1, 1, 1, 0}, b = {2, 2, 2, 0}, c = {3, 3, 3, 0}, d = {4, 4, 4, 0};
  Bytes ab = a;
  ab.insert(ab.end(), b.begin(), b.end());
  // Width 4: a at (2,0); then one row down and three columns back: start of row 1; then a run
  // of two that starts at the end of row 1 and wraps to row 2; then back to (0,2) over b.
  std::vector<DirectRun> runs = {run(0, 2, a), run(1, -3, c), run(0, 2, ab), run(0, -1, d)};
  Px04Picture plain = picture(4, 3, runs);
  DecodedPicture out = decode(buildPx04(plain), blend);
  ASSERT_EQ(out.result, ResultCode::Success);
  EXPECT_EQ(out.pixelBytes(2, 0), (Bytes{1, 1, 1, 255}));
  EXPECT_EQ(out.pixelBytes(0, 1), (Bytes{3, 3, 3, 255}));
  EXPECT_EQ(out.pixelBytes(3, 1), (Bytes{1, 1, 1, 255}));
  EXPECT_EQ(out.pixelBytes(0, 2), (Bytes{4, 4, 4, 255}));
  EXPECT_EQ(out.pixelBytes(1, 2), (Bytes{0, 0, 0, 0}));

  // Fillers before any run, between runs and in a row change nothing; so does the
  // signature in place of the width copy.
  Px04Picture filled = plain;
  filled.signature = true;
  filled.runs[0].fillersBefore = 1;
  filled.runs[2].fillersBefore = 3;
  DecodedPicture same = decode(buildPx04(filled), blend);
  ASSERT_EQ(same.result, ResultCode::Success);
  EXPECT_EQ(same.bits, out.bits);
}

TEST(RunStreamPictureDecoder, RowsArePaddedAndStoredBottomUp) {
  const DecodeOptions blend = blendOptions(true);
  Bytes top = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0};
  Bytes bottom = {9, 8, 7, 0, 6, 5, 4, 0, 3, 2, 1, 0};
  DecodedPicture out = decode(buildPx04(picture(3, 2, {run(0, 0, top), run(0, 0, bottom)})), blend);
  ASSERT_EQ(out.result, ResultCode::Success);
  EXPECT_EQ(out.header.biSizeImage, 24u);
  EXPECT_EQ(out.bits, (Bytes{9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0, 0,  // bottom row first
                             1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0}));
}

TEST(RunStreamPictureDecoder, OtherStoredDepthsAreCopied) {
  Px04Picture p = picture(2, 1, {run(0, 0, {1, 2, 3, 4, 5, 6})});
  p.depth = 24;
  DecodedPicture out = decode(buildPx04(p));
  ASSERT_EQ(out.result, ResultCode::Success);
  EXPECT_EQ(out.header.biBitCount, 24);
  EXPECT_EQ(out.bits, (Bytes{1, 2, 3, 4, 5, 6, 0, 0}));
  p.depth = 12;
  EXPECT_EQ(decode(buildPx04(p)).result, ResultCode::UnknownFormat);
}

TEST(RunStreamPictureDecoder, RefusesDimensionsOutsideOneTo16777215) {
  for (auto [w, h] : {std::pair{0, 1}, {1, 0}, {-1, 1}, {1, -5}, {16777216, 1}, {1, 16777216}}) {
    DecodedPicture out = decode(buildPx04(picture(w, h, {})));
    EXPECT_EQ(out.result, ResultCode::UnknownFormat) << w << " x " << h;
    EXPECT_FALSE(out.infoHanded || out.bitsHanded);
  }
  EXPECT_EQ(decode(buildPx04(picture(16777215, 1, {}))).result, ResultCode::Success);
}

TEST(RunStreamPictureDecoder, MalformedStreamsAreRefusedWithoutTouchingAnythingOutside) {
  const Bytes pixel = {1, 2, 3, 4};
  auto refused = [](const Px04Picture& p, const char* what) {
    DecodedPicture out = decode(buildPx04(p));
    EXPECT_EQ(out.result, ResultCode::UnknownFormat) << what;
    EXPECT_FALSE(out.infoHanded || out.bitsHanded) << what;
  };
  refused(picture(2, 2, {run(1, 1, pixel), run(0, 0, pixel)}), "run past the last pixel");
  refused(picture(2, 2, {run(0, 3, {1, 2, 3, 4, 5, 6, 7, 8})}), "run crossing the end");
  refused(picture(2, 2, {run(0, 1, pixel), run(0, -3, pixel)}), "advance before the start");
  refused(picture(2, 2, {run(-32768, -32768, {}), run(0, 0, pixel)}), "pixel far before the start");
  Px04Picture p = picture(4, 4, {run(0, 0, pixel)});
  p.runs[0].count = 2;
  refused(p, "count past the end of the stream");
  p.runs[0].count = -1;
  refused(p, "negative count");
  p = picture(4, 4, {run(0, 0, pixel)});
  p.terminate = false;
  refused(p, "no end marker");
  p.trailing = {0, 0};
  refused(p, "a run header cut short");
  EXPECT_EQ(decode(Bytes(31, 0)).result, ResultCode::UnknownFormat);
}

TEST(RunStreamPictureDecoder, PositionsMayWanderBetweenRunsAsLongAsPixelsLandInside) {
  const DecodeOptions blend = blendOptions(false);
  // Far out with an empty run, then back: nothing is written outside, the pixel lands at (1,0).
  Px04Picture p = picture(2, 2, {run(30000, 0, {}), run(-30000, 1, {1, 2, 3, 4})});
  DecodedPicture out = decode(buildPx04(p), blend);
  ASSERT_EQ(out.result, ResultCode::Success);
  EXPECT_EQ(out.pixelBytes(1, 0), (Bytes{1, 2, 3, 8}));
}

TEST(RunStreamPictureDecoder, PictureInfoComesFromTheHeader) {
  RunStreamPictureDecoder decoder;
  PictureInfo info{};
  Bytes file = buildPx04(picture(300, 200, {}));
  EXPECT_EQ(decoder.getPictureInfo(file.data(), 31, DecodeOptions{}, &info),
            ResultCode::UnknownFormat);
  {
    const DecodeOptions blend = blendOptions(true);
    ASSERT_EQ(decoder.getPictureInfo(file.data(), 32, blend, &info), ResultCode::Success);
    EXPECT_EQ(info.width, 300);
    EXPECT_EQ(info.height, 200);
    EXPECT_EQ(info.bitDepth, 24);
    EXPECT_EQ(info.left, 0);
  }
  const DecodeOptions raw = blendOptions(false);
  ASSERT_EQ(decoder.getPictureInfo(file.data(), 32, raw, &info), ResultCode::Success);
  EXPECT_EQ(info.bitDepth, 32);
}

}  // namespace
}  // namespace quorvel

namespace quorvel {
namespace {

// Straight output (a PNG with -raw) turns the 7-bit alphas into opacities to the nearest 8-bit
// value: a / 128 of 255, so 127 is 253 (not 254) and 64 exactly half; 0 is opaque, and a pixel
// no run covers is transparent.
TEST(RunStreamPictureDecoder, StraightAlphaIsTheNearestEightBitOpacity) {
  Bytes file =
      buildPx04(picture(5, 1, {run(0, 0, {9, 9, 9, 1, 9, 9, 9, 64, 9, 9, 9, 127, 9, 9, 9, 0})}));
  DecodedBitmap bitmap;
  ASSERT_EQ(decodeRunStreamPicture(file.data(), static_cast<uint32_t>(file.size()),
                                   AlphaOutput::Straight, bitmap),
            ResultCode::Success);
  const uint8_t* pixels = bitmap.pixels.get();
  const uint8_t expected[5] = {2, 128, 253, 255, 0};
  for (int x = 0; x < 5; ++x) EXPECT_EQ(pixels[4 * x + 3], expected[x]) << x;
}

}  // namespace
}  // namespace quorvel
