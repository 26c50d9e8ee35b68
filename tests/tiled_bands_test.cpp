// Tiled pictures written in bands: the same bytes as the decoder's whole bitmap written at once,
// for odd sizes, every band size and thread count, rows that end early, records stored out of
// order and files cut short; a file the decoder refuses leaves no file.
#include "convert/tiled_bands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "convert/bmp_writer.h"
#include "decoders/tiled_bordered.h"
#include "decoders/tiled_picture_decoder.h"
#include "decoders/tiled_with_colours.h"
#include "platform/file_handle.h"
#include "tests/support/test_support.h"
#include "tests/tiled_test_util.h"

namespace quorvel {
namespace {

using tiledtest::Decoded;
using writer::Bytes;
using writer::TiledFile;

// The decoder's bitmap as a BMP file, or its answer when it refuses the file.
ResultCode wholeBmp(const test::ScratchDir& scratch, const Bytes& file, bool px0b,
                    const DecodeOptions& options, Bytes& bmp) {
  TiledWithColoursDecoder px0bDecoder;
  TiledBorderedDecoder px0cDecoder;
  PictureDecoder& decoder = px0b ? static_cast<PictureDecoder&>(px0bDecoder) : px0cDecoder;
  Decoded d = tiledtest::decode(decoder, file, options);
  if (d.code != ResultCode::Success) return d.code;
  const std::string path = scratch.file("whole.bmp");
  EXPECT_EQ(writeBmpFile(path.c_str(), DibView{&d.header, nullptr, d.bits.data(), d.bits.size()}),
            ResultCode::Success);
  bmp = test::readFile(path);
  std::remove(path.c_str());
  return ResultCode::Success;
}

// The picture written in bands, read from its file or from memory.
ResultCode bandedBmp(const test::ScratchDir& scratch, const Bytes& file, bool px0b, bool inMemory,
                     const DecodeOptions& options, WorkerBudget* workers, const BandLimits& limits,
                     Bytes& bmp) {
  const std::string source = scratch.file("source.px");
  EXPECT_TRUE(test::writeFile(source, file));
  const std::string path = scratch.file("banded.bmp");
  const TiledFamily family = px0b ? TiledFamily::WithColours : TiledFamily::Bordered;
  const TiledStyle style{options.blend, options.background};
  ResultCode result;
  if (inMemory) {
    result = convertTiledInBands(path.c_str(), ByteView(file.data(), file.size()), family, style,
                                 workers, limits);
  } else {
    FileHandle handle;
    EXPECT_TRUE(handle.openRead(source.c_str()));
    result = convertTiledInBands(path.c_str(), handle, family, style, workers, limits);
  }
  std::remove(source.c_str());
  if (result == ResultCode::Success) bmp = test::readFile(path);
  std::remove(path.c_str());
  return result;
}

// Pictures with stored, empty and (type 0x0B) solid cells, the last column and row partial.
TiledFile tiledPicture(writer::TiledFamily family, uint32_t edge, int width, int height) {
  writer::Picture picture = tiledtest::patternPicture(width, height, 5);
  tiledtest::fillRect(picture, 0, 0, std::min<int>(width, edge), height, 0);  // empty column
  tiledtest::fillRect(picture, width / 2, 0, std::min<int>(width - width / 2, 2 * edge),
                      std::min<int>(height, 3 * edge), 0x80102030u);  // solid in type 0x0B
  return writer::tilePictures(family, edge, {picture});
}

// Every band size from one tile row to the whole picture, one to three threads, spare threads
// from the first byte on.
void expectSameForEveryBanding(const test::ScratchDir& scratch, const Bytes& file, bool px0b,
                               const DecodeOptions& base = {}) {
  for (bool blend : {true, false}) {
    DecodeOptions options = base;
    options.blend = blend;
    Bytes expected;
    const ResultCode whole = wholeBmp(scratch, file, px0b, options, expected);
    for (size_t bandBytes : {size_t{1}, size_t{5000}, size_t{40000}, size_t{1} << 30}) {
      for (int threads : {1, 2, 3}) {
        const bool inMemory = threads == 2;
        SCOPED_TRACE(testing::Message() << "blend " << blend << " band bytes " << bandBytes
                                        << " threads " << threads << " in memory " << inMemory);
        WorkerBudget workers(threads);
        Bytes banded;
        EXPECT_EQ(bandedBmp(scratch, file, px0b, inMemory, options, &workers,
                            BandLimits{bandBytes, 0}, banded),
                  whole);
        EXPECT_EQ(banded, expected);
        EXPECT_TRUE(test::listFolder(scratch.path()).empty());
        EXPECT_TRUE(workers.takeSpare() || threads == 1);  // every helper gave its thread back
      }
    }
  }
}

TEST(TiledBands, SameBytesAsTheWholeBitmapForOddSizesBandsAndThreads) {
  DecodeOptions background;
  background.background[0] = 0x12;
  test::ScratchDir scratch;
  struct Case {
    writer::TiledFamily family;
    uint32_t edge;
    int width, height;
    uint16_t prefix;
  };
  for (Case c : {Case{writer::TiledFamily::WithColours, 16, 61, 45, 0},
                 Case{writer::TiledFamily::WithColours, 32, 97, 130, 0},
                 Case{writer::TiledFamily::Bordered, 16, 59, 83, 1},
                 Case{writer::TiledFamily::Bordered, 7, 30, 29, 0}}) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " edge " << c.edge);
    TiledFile tiled = tiledPicture(c.family, c.edge, c.width, c.height);
    tiled.indexPrefix = c.prefix;
    expectSameForEveryBanding(scratch, writer::writeTiled(tiled),
                              c.family == writer::TiledFamily::WithColours, background);
  }
}

// Records numbered against the order of their use are read one by one; rows that a record of
// width 0 ends early shift where the rows below them start.
TEST(TiledBands, RecordsOutOfOrderAndRowsThatEndEarly) {
  test::ScratchDir scratch;
  for (auto family : {writer::TiledFamily::WithColours, writer::TiledFamily::Bordered}) {
    TiledFile tiled = tiledPicture(family, 16, 150, 140);
    // Record i becomes record number[i]: neighbouring cells name records far apart.
    std::vector<int16_t> number(tiled.records.size());
    for (size_t i = 0; i < number.size(); ++i) number[i] = static_cast<int16_t>(i + 1);
    std::shuffle(number.begin(), number.end(), std::mt19937(7));
    std::vector<writer::TileRecord> records(tiled.records.size());
    for (size_t i = 0; i < number.size(); ++i) records[number[i] - 1] = tiled.records[i];
    tiled.records = records;
    for (int16_t& v : tiled.images[0]) {
      if (v > 0) v = number[v - 1];
    }
    expectSameForEveryBanding(scratch, writer::writeTiled(tiled),
                              family == writer::TiledFamily::WithColours);
  }
  TiledFile ending = tiledPicture(writer::TiledFamily::WithColours, 16, 100, 90);
  ending.records.push_back(writer::TileRecord{0, 16, {}});
  const auto stop = static_cast<int16_t>(ending.records.size());
  for (size_t cell : {size_t{3}, size_t{9}, size_t{20}, size_t{21}}) ending.images[0][cell] = stop;
  expectSameForEveryBanding(scratch, writer::writeTiled(ending), true);
}

// A file cut anywhere in its records: the same picture where the decoder draws one, else the same
// refusal and no file.
TEST(TiledBands, FilesCutShortOrRefusedLeaveNoFile) {
  test::ScratchDir scratch;
  for (auto family : {writer::TiledFamily::WithColours, writer::TiledFamily::Bordered}) {
    const bool px0b = family == writer::TiledFamily::WithColours;
    TiledFile tiled = tiledPicture(family, 16, 70, 50);
    Bytes file = writer::writeTiled(tiled);
    for (size_t cut : {file.size() - 1, file.size() - 700, file.size() - 5000, size_t{40}}) {
      SCOPED_TRACE(testing::Message() << "cut to " << cut);
      Bytes shorter(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut));
      expectSameForEveryBanding(scratch, shorter, px0b);
    }
    tiled.images[0][4] = -300;  // beyond the colour table, or negative in type 0x0C
    Bytes refused = writer::writeTiled(tiled);
    Bytes expected;
    ASSERT_EQ(wholeBmp(scratch, refused, px0b, DecodeOptions{}, expected),
              ResultCode::UnknownFormat);
    expectSameForEveryBanding(scratch, refused, px0b);
  }
}

}  // namespace
}  // namespace quorvel
