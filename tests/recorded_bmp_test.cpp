// Run-stream and layered pictures written a slice of rows at a time from their recorded runs: the
// same bytes as the whole-picture decoder's bitmap for odd sizes, every slice size, ring and
// thread count; runs that move backwards and indexed pictures left to that decoder; refused and
// cut files answer as the decoder does and leave no file.
#include "convert/recorded_bmp.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "convert/bmp_writer.h"
#include "convert/convert_picture.h"
#include "decoders/layered_picture.h"
#include "decoders/run_stream_picture.h"
#include "tests/support/decoded_picture.h"
#include "tests/support/test_support.h"
#include "tools/writer/layered_samples.h"
#include "tools/writer/px04_writer.h"
#include "tools/writer/px40_writer.h"

namespace quorvel {
namespace {

using writer::Bytes;

enum class Kind { RunStream, Layered };

// The whole-picture decoder's bitmap as a BMP file, or its answer when it refuses the file.
ResultCode wholeBmp(const test::ScratchDir& scratch, const Bytes& file, Kind kind, bool blend,
                    Bytes& bmp) {
  RunStreamPictureDecoder runStream;
  LayeredPictureDecoder layered;
  PictureDecoder& decoder =
      kind == Kind::Layered ? static_cast<PictureDecoder&>(layered) : runStream;
  test::DecodedPicture d = test::decodePicture(decoder, file, test::blendOptions(blend));
  if (d.result != ResultCode::Success) return d.result;
  const std::string path = scratch.file("whole.bmp");
  const RgbQuad* palette =
      d.palette.empty() ? nullptr : reinterpret_cast<const RgbQuad*>(d.palette.data());
  EXPECT_EQ(writeBmpFile(path.c_str(), DibView{&d.header, palette, d.bits.data(), d.bits.size()}),
            ResultCode::Success);
  bmp = test::readFile(path);
  std::remove(path.c_str());
  return ResultCode::Success;
}

ResultCode record(const Bytes& file, Kind kind, bool blend, RecordedPicture& picture) {
  const AlphaOutput alpha = blend ? AlphaOutput::Blended : AlphaOutput::Raw;
  const auto length = static_cast<uint32_t>(file.size());
  return kind == Kind::Layered ? recordLayeredPicture(file.data(), length, alpha, picture)
                               : recordRunStreamPicture(file.data(), length, alpha, picture);
}

// Every slice size from one row to the whole picture, rings of one and three slices, one to three
// threads with spare threads from the first byte on.
void expectSameForEverySlicing(const Bytes& file, Kind kind) {
  test::ScratchDir scratch;
  for (bool blend : {true, false}) {
    Bytes expected;
    ASSERT_EQ(wholeBmp(scratch, file, kind, blend, expected), ResultCode::Success);
    RecordedPicture picture;
    ASSERT_EQ(record(file, kind, blend, picture), ResultCode::Success);
    ASSERT_TRUE(picture.drawable);
    const auto rowBytes = static_cast<size_t>(dibRowBytes(&picture.header));
    const auto height = static_cast<size_t>(picture.header.biHeight);
    const std::string path = scratch.file("sliced.bmp");
    for (size_t sliceRows = 1; sliceRows <= height; ++sliceRows) {
      for (size_t slots : {size_t{1}, size_t{3}}) {
        for (int threads : {1, 2, 3}) {
          SCOPED_TRACE(testing::Message() << "blend " << blend << " slice rows " << sliceRows
                                          << " slots " << slots << " threads " << threads);
          WorkerBudget workers(threads);
          ASSERT_EQ(writeRecordedBmp(path.c_str(), picture, &workers,
                                     SliceLimits{sliceRows * rowBytes, 0, slots}),
                    ResultCode::Success);
          EXPECT_EQ(test::readFile(path), expected);
          std::remove(path.c_str());
          EXPECT_TRUE(workers.takeSpare() || threads == 1);  // every helper gave its thread back
        }
      }
    }
  }
}

// A top-down image of depth / 8 bytes per pixel made from the disc image (its first bytes of
// each pixel), so that 16- and 24-bit streams have the same visible shape.
Bytes discImage(int width, int height, int depth, int seed) {
  Bytes disc = writer::discImage32(width, height, seed);
  if (depth == 32) return disc;
  Bytes image;
  for (size_t pixel = 0; pixel < disc.size() / 4; ++pixel) {
    const bool visible = disc[pixel * 4 + 3] != 0 || disc[pixel * 4] != 0;
    for (int b = 0; b < depth / 8; ++b) {
      image.push_back(visible ? static_cast<uint8_t>(disc[pixel * 4 + b] | 1) : 0);
    }
  }
  return image;
}

Bytes runStreamFile(int width, int height, int depth, std::vector<writer::DirectRun> runs) {
  writer::Px04Picture p;
  p.width = width;
  p.height = height;
  p.depth = static_cast<uint16_t>(depth);
  p.runs = std::move(runs);
  return writer::buildPx04(p);
}

Bytes discRunStream(int width, int height, int depth, int seed) {
  return runStreamFile(
      width, height, depth,
      writer::runsFromImage(discImage(width, height, depth, seed), width, height, depth / 8));
}

Bytes pixels(size_t count, int bytes, uint8_t seed) {
  Bytes out;
  for (size_t i = 0; i < count * bytes; ++i) out.push_back(static_cast<uint8_t>(seed + i * 37));
  return out;
}

TEST(RecordedBmp, RunStreamsOfOddSizesAndEveryDepthMatchTheWholeBitmap) {
  struct Case {
    int width, height, depth;
  };
  for (Case c : {Case{1, 1, 32}, Case{7, 13, 32}, Case{45, 30, 32}, Case{33, 5, 24},
                 Case{13, 11, 16}, Case{9, 7, 8}}) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " depth " << c.depth);
    expectSameForEverySlicing(discRunStream(c.width, c.height, c.depth, c.width), Kind::RunStream);
  }
  // Runs longer than a row wrap through several slices; fillers between runs; a run that ends
  // the picture exactly; empty runs anywhere, one moving past the picture's end and the next run
  // back into it.
  std::vector<writer::DirectRun> runs{
      writer::directRun(0, 3, pixels(19, 4, 1)), writer::directRun(0, 0, {}),
      writer::directRun(2, -10, pixels(2, 4, 90)), writer::directRun(6, 0, {}),
      writer::directRun(-5, 4, pixels(31, 4, 7))};
  runs[2].fillersBefore = 2;
  expectSameForEverySlicing(runStreamFile(7, 10, 32, runs), Kind::RunStream);
}

writer::Px40Layer discLayer(int x, int y, int width, int height, int depth, int seed) {
  return writer::directLayerFromImage(x, y, width, height, static_cast<uint16_t>(depth),
                                      discImage(width, height, depth, seed));
}

Bytes layeredFile(int width, int height, std::vector<writer::Px40Layer> layers) {
  writer::Px40Picture p;
  p.canvasWidth = width;
  p.canvasHeight = height;
  p.layers = std::move(layers);
  return writer::buildPx40(p);
}

TEST(RecordedBmp, LayersOverlappingAndOffTheCanvasMatchTheWholeBitmap) {
  // A full layer; later layers replace what they cover, their uncovered pixels included; layers
  // hanging over every edge and one wholly outside.
  expectSameForEverySlicing(
      layeredFile(37, 23,
                  {discLayer(0, 0, 37, 23, 32, 1), discLayer(9, 5, 15, 11, 32, 2),
                   discLayer(-6, 17, 20, 10, 32, 3), discLayer(30, -4, 15, 9, 32, 4),
                   discLayer(40, 30, 5, 5, 32, 5), discLayer(-3, -3, 44, 2, 32, 6)}),
      Kind::Layered);
  // 24- and 32-bit layers mixed, either first: raw output keeps alpha at 32 bits.
  expectSameForEverySlicing(
      layeredFile(19, 17,
                  {discLayer(0, 0, 19, 17, 24, 1), discLayer(4, 3, 9, 12, 32, 2),
                   discLayer(2, 9, 15, 5, 24, 3)}),
      Kind::Layered);
  expectSameForEverySlicing(
      layeredFile(11, 9, {discLayer(1, 1, 9, 7, 32, 7), discLayer(0, 2, 11, 3, 24, 8)}),
      Kind::Layered);
  expectSameForEverySlicing(layeredFile(5, 21, {discLayer(0, 0, 5, 21, 16, 9)}), Kind::Layered);
}

TEST(RecordedBmp, RunsMovingBackwardsAndIndexedLayersAreLeftToTheWholePictureDecoder) {
  RecordedPicture picture;
  // The second run starts before the first ended (and draws over it).
  const Bytes backwards = runStreamFile(
      6, 4, 32,
      {writer::directRun(1, 0, pixels(5, 4, 3)), writer::directRun(0, -3, pixels(2, 4, 200))});
  EXPECT_EQ(record(backwards, Kind::RunStream, true, picture), ResultCode::Success);
  EXPECT_FALSE(picture.drawable);
  const Bytes indexed = writer::layeredIndexedSample();
  EXPECT_EQ(record(indexed, Kind::Layered, true, picture), ResultCode::Success);
  EXPECT_FALSE(picture.drawable);
  // The conversion still writes the decoder's bitmap for both.
  test::ScratchDir scratch;
  for (const auto& [file, kind] :
       {std::pair{backwards, Kind::RunStream}, std::pair{indexed, Kind::Layered}}) {
    Bytes expected;
    ASSERT_EQ(wholeBmp(scratch, file, kind, true, expected), ResultCode::Success);
    const std::string source = scratch.file("in.px");
    ASSERT_TRUE(test::writeFile(source, file));
    ConversionOptions options;
    WorkerBudget workers(2);
    options.workers = &workers;
    ASSERT_EQ(convertPictureFile(scratch.file("in").c_str(), source.c_str(), options),
              ResultCode::Success);
    EXPECT_EQ(test::readFile(scratch.file("in.bmp")), expected);
    std::remove(source.c_str());
    std::remove(scratch.file("in.bmp").c_str());
  }
}

TEST(RecordedBmp, RefusedAndCutFilesAnswerAsTheDecoderAndLeaveNoFile) {
  const Bytes good = discRunStream(9, 8, 32, 3);
  writer::Px04Picture outside;
  outside.width = 4;
  outside.height = 2;
  outside.runs = {writer::directRun(1, 2, pixels(3, 4, 1))};  // past the last pixel
  writer::Px40Layer badDepth = discLayer(0, 0, 4, 4, 32, 1);
  badDepth.depth = 16;  // a 16-bit layer cannot join 32-bit ones
  writer::Px40Layer cutLayer = discLayer(1, 1, 4, 4, 32, 2);
  cutLayer.terminate = false;
  struct Case {
    const char* what;
    Bytes file;
    Kind kind;
  };
  const std::vector<Case> cases{
      {"run stream cut inside a run", Bytes(good.begin(), good.end() - 9), Kind::RunStream},
      {"run stream without end marker", Bytes(good.begin(), good.end() - 4), Kind::RunStream},
      {"run leaving the picture", writer::buildPx04(outside), Kind::RunStream},
      {"zero width", runStreamFile(0, 3, 32, {}), Kind::RunStream},
      {"layer of a depth that does not mix",
       layeredFile(6, 6, {discLayer(0, 0, 6, 6, 32, 1), badDepth}), Kind::Layered},
      {"last layer without end marker", layeredFile(6, 6, {discLayer(0, 0, 6, 6, 32, 1), cutLayer}),
       Kind::Layered},
  };
  test::ScratchDir scratch;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool blend : {true, false}) {
      Bytes unused;
      const ResultCode decoder = wholeBmp(scratch, c.file, c.kind, blend, unused);
      EXPECT_NE(decoder, ResultCode::Success);
      RecordedPicture picture;
      EXPECT_EQ(record(c.file, c.kind, blend, picture), decoder);
      const std::string source = scratch.file("in.px");
      ASSERT_TRUE(test::writeFile(source, c.file));
      ConversionOptions options;
      options.decode.blend = blend;
      EXPECT_EQ(convertPictureFile(scratch.file("in").c_str(), source.c_str(), options), decoder);
      std::remove(source.c_str());
      EXPECT_TRUE(test::listFolder(scratch.path()).empty());
    }
  }
}

}  // namespace
}  // namespace quorvel
