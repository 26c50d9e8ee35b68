// The straight alpha output of the run-stream and layered decoders: the fourth byte is the
// opacity (0 transparent, 255 opaque), the colours are the stored ones, and pixels nothing covers
// are transparent. Their raw output through the same entry stays what getPicture gives.
#include <gtest/gtest.h>

#include "decoders/alpha_output.h"
#include "decoders/spi_px04.h"
#include "decoders/spi_px40.h"
#include "tests/support/decoded_picture.h"
#include "tools/writer/px04_writer.h"
#include "tools/writer/px40_writer.h"

namespace quorvel {
namespace {

using writer::Bytes;
using Decode = ResultCode (*)(const uint8_t*, uint32_t, AlphaOutput, MemHandle*, MemHandle*);

// The top row's pixels (bottom-up block: the last row) of a one-row picture.
Bytes topRow(Decode decode, const Bytes& file, AlphaOutput alpha) {
  MemHandle info = nullptr;
  MemHandle bits = nullptr;
  EXPECT_EQ(decode(file.data(), uint32_t(file.size()), alpha, &info, &bits), ResultCode::Success);
  MemoryBlock infoBlock;
  MemoryBlock bitsBlock;
  auto* header = static_cast<const BitmapInfoHeader*>(infoBlock.attach(info));
  auto* p = static_cast<const uint8_t*>(bitsBlock.attach(bits));
  if (header == nullptr || p == nullptr) return {};
  EXPECT_EQ(header->biBitCount, 32);
  return Bytes(p, p + header->biWidth * 4);
}

// The straight output's top row is `expected`; the raw output through the same entry is what
// getPicture gives with the raw switch.
template <typename Decoder>
void expectTopRow(Decode decode, const Bytes& file, const Bytes& expected) {
  EXPECT_EQ(topRow(decode, file, AlphaOutput::Straight), expected);
  test::BlendSetting raw(false);
  Decoder decoder;
  EXPECT_EQ(topRow(decode, file, AlphaOutput::Raw), test::decodePicture(decoder, file).bits);
}

TEST(StraightAlpha, RunStreamAlphaBytesBecomeTheirOpacity) {
  // Stored alpha bytes 0, 1, 64, 127, 128, 129, 255 (a 7-bit alpha: the top bit does not count),
  // then one pixel no run covers.
  const uint8_t stored[] = {0, 1, 64, 127, 128, 129, 255};
  const uint8_t opacity[] = {255, 2, 128, 253, 255, 2, 253};
  Bytes pixels;
  Bytes expected;
  for (int i = 0; i < 7; ++i) {
    pixels.insert(pixels.end(), {uint8_t(10 * i), uint8_t(200 - i), uint8_t(i), stored[i]});
    expected.insert(expected.end(), {uint8_t(10 * i), uint8_t(200 - i), uint8_t(i), opacity[i]});
  }
  expected.insert(expected.end(), {0, 0, 0, 0});
  writer::Px04Picture p;
  p.width = 8;
  p.height = 1;
  p.runs = {writer::directRun(0, 0, pixels)};
  expectTopRow<SpiPx04>(decodeRunStreamPicture, writer::buildPx04(p), expected);
}

TEST(StraightAlpha, IndexedAlphaZeroIsTransparentAndOpaqueModeOpaque) {
  // Alpha-mode pixels of alpha bytes 0, 64, 127 and 200 (7-bit 72), an opaque-mode pixel, then
  // one pixel no run covers.
  writer::Px40Picture p;
  p.kind = 68;
  p.canvasWidth = 6;
  p.canvasHeight = 1;
  for (int i = 0; i < 256; ++i) p.colours.insert(p.colours.end(), {uint8_t(i), 7, uint8_t(~i), 9});
  writer::Px40Layer layer;
  layer.width = 6;
  layer.height = 1;
  layer.depth = 9;
  writer::IndexedRun alpha;
  alpha.pixels = {0, 1, 64, 2, 127, 3, 200, 4};
  writer::IndexedRun opaque;
  opaque.toggle = true;
  opaque.pixels = {5};
  layer.indexedRuns = {alpha, opaque};
  p.layers = {layer};
  const Bytes expected = {1, 7, 254, 0,   2, 7, 253, 128, 3, 7, 252, 253,
                          4, 7, 251, 143, 5, 7, 250, 255, 0, 0, 0,   0};
  expectTopRow<SpiPx40>(decodeLayeredPicture, writer::buildPx40(p), expected);
}

}  // namespace
}  // namespace quorvel
