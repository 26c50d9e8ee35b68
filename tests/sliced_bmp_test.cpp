// BMP files written in slices: the same bytes as the whole bitmap written at once, whatever the
// slice size, the ring of slices and the threads; a slice that cannot be made or a file that
// cannot be written leaves no file. Plain pictures of every variant through the conversion, just
// below and above the size from which spare threads make rows.
#include "convert/sliced_bmp.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "convert/bmp_writer.h"
#include "convert/convert_picture.h"
#include "decoders/plain_picture.h"
#include "tests/support/decoded_picture.h"
#include "tests/support/test_support.h"
#include "tools/writer/px_writer.h"

namespace quorvel {
namespace {

// A picture whose every byte (padding included) follows from its row and position.
struct Synthetic {
  BitmapInfoHeader header;
  test::Bytes bits;
  std::mutex mutex;
  std::set<std::thread::id> threads;  // that made rows
  std::atomic<size_t> failAtRow{static_cast<size_t>(-1)};

  Synthetic(int32_t width, int32_t height, int bitCount)
      : header(dibHeader(width, height, bitCount)), bits(header.biSizeImage) {
    for (size_t i = 0; i < bits.size(); ++i) bits[i] = static_cast<uint8_t>(i * 31 + i / 977);
  }
  size_t rowBytes() const { return static_cast<size_t>(dibRowBytes(&header)); }

  SlicedPicture sliced() {
    SlicedPicture picture;
    picture.header = header;
    picture.scratchRowBytes = 5;
    picture.makeRows = [this](size_t first, size_t count, uint8_t* out, uint8_t* scratch) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        threads.insert(std::this_thread::get_id());
      }
      std::memset(scratch, 0xEE, count * 5);  // the scratch rows are the maker's own
      if (failAtRow >= first && failAtRow < first + count) return false;
      std::memcpy(out, bits.data() + first * rowBytes(), count * rowBytes());
      return true;
    };
    return picture;
  }
};

test::Bytes wholeBmp(const test::ScratchDir& scratch, const Synthetic& picture) {
  std::string path = scratch.file("whole.bmp");
  DibView view{&picture.header, nullptr, picture.bits.data(), picture.bits.size()};
  EXPECT_EQ(writeBmpFile(path.c_str(), view), ResultCode::Success);
  return test::readFile(path);
}

TEST(SlicedBmp, SameBytesAsTheWholeBitmapForAnySlicingAndThreads) {
  test::ScratchDir scratch;
  struct Case {
    int32_t width, height;
    int bitCount;
    size_t sliceRows;
    size_t slots;
    int threads;
  };
  for (Case c : {Case{1, 1, 24, 1, 4, 2}, Case{7, 13, 24, 3, 2, 3}, Case{5, 40, 16, 7, 4, 2},
                 Case{33, 64, 32, 1, 3, 4}, Case{9, 50, 24, 64, 4, 2}, Case{3, 9, 24, 2, 1, 2}}) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " slice rows " << c.sliceRows
                                    << " slots " << c.slots << " threads " << c.threads);
    Synthetic picture(c.width, c.height, c.bitCount);
    test::Bytes expected = wholeBmp(scratch, picture);
    // Slices of a size that no row count divides, threads from the first byte on.
    SliceLimits limits{c.sliceRows * picture.rowBytes() + 1, 0, c.slots};
    WorkerBudget workers(c.threads);
    std::string path = scratch.file("sliced.bmp");
    ASSERT_EQ(writeBmpInSlices(path.c_str(), picture.sliced(), &workers, limits),
              ResultCode::Success);
    EXPECT_EQ(test::readFile(path), expected);
    EXPECT_TRUE(workers.takeSpare() || c.threads == 1);  // every helper gave its thread back
  }
}

TEST(SlicedBmp, OneThreadBelowTheThreadedSizeSpareThreadsFromIt) {
  test::ScratchDir scratch;
  Synthetic picture(64, 256, 32);
  const size_t image = picture.bits.size();
  test::Bytes expected = wholeBmp(scratch, picture);
  for (size_t threadedBytes : {image + 1, image}) {
    picture.threads.clear();
    WorkerBudget workers(2);
    std::string path = scratch.file("picture.bmp");
    ASSERT_EQ(writeBmpInSlices(path.c_str(), picture.sliced(), &workers,
                               SliceLimits{picture.rowBytes(), threadedBytes, 4}),
              ResultCode::Success);
    EXPECT_EQ(test::readFile(path), expected);
    if (threadedBytes > image) {
      EXPECT_EQ(picture.threads, std::set<std::thread::id>{std::this_thread::get_id()});
    }
    EXPECT_TRUE(workers.takeSpare());
  }
}

TEST(SlicedBmp, RowsThatCannotBeMadeOrAFileThatCannotBeWrittenLeaveNothing) {
  test::ScratchDir scratch;
  Synthetic picture(16, 100, 24);
  for (size_t failAt : {size_t{0}, size_t{57}, size_t{99}}) {
    picture.failAtRow = failAt;
    WorkerBudget workers(3);
    std::string path = scratch.file("failed.bmp");
    EXPECT_EQ(writeBmpInSlices(path.c_str(), picture.sliced(), &workers,
                               SliceLimits{5 * picture.rowBytes(), 0, 3}),
              ResultCode::ReadError);
    EXPECT_TRUE(test::listFolder(scratch.path()).empty());
  }
  picture.failAtRow = static_cast<size_t>(-1);
  std::string nowhere = scratch.file("missing") + "/folder/x.bmp";
  EXPECT_EQ(writeBmpInSlices(nowhere.c_str(), picture.sliced(), nullptr), ResultCode::WriteError);
  EXPECT_TRUE(test::listFolder(scratch.path()).empty());
}

// The plain picture through the conversion against getPicture written whole: every variant, odd
// widths, blended and raw, and 32-bit pictures just below and above the threaded size.
TEST(SlicedBmp, PlainPicturesConvertToTheDecodersBitmap) {
  test::ScratchDir scratch;
  struct Variant {
    uint16_t kind, depth;
    int32_t width, height;
    bool prefixed;
  };
  const int32_t belowThreaded = 1182;  // 1182 x 1182 x 3 bytes: just below 4 MiB of rows
  for (Variant v :
       {Variant{7, 8, 61, 40, false}, Variant{1, 8, 3, 5, false}, Variant{0, 16, 47, 9, false},
        Variant{2, 16, 5, 7, false}, Variant{3, 16, 5, 7, false}, Variant{1, 32, 13, 11, false},
        Variant{10, 32, 9, 300, true}, Variant{1, 32, belowThreaded, belowThreaded, false},
        Variant{1, 32, belowThreaded + 1, belowThreaded, false}}) {
    writer::PlainPicture p = writer::gradientPicture32(v.width, v.height);
    p.kind = v.kind;
    p.depth = v.depth;
    p.prefixed = v.prefixed;
    p.rows.resize(writer::plainRowBytes(v.width, v.kind, v.depth) * v.height);
    for (size_t i = 0; i < p.rows.size() && v.depth != 32; ++i) p.rows[i] = uint8_t(i * 13 + i / 7);
    if (v.kind == 7) {
      for (int i = 0; i < 1024; ++i) p.palette.push_back(uint8_t(i * 5));
    }
    test::Bytes file = writer::writePlainPicture(p);
    std::string source = scratch.file("plain.px");
    ASSERT_TRUE(test::writeFile(source, file));
    for (bool blend : {true, false}) {
      // Raw output of 32 bits is past the threaded size at either width: the first one does.
      if (!blend && v.width == belowThreaded + 1) continue;
      SCOPED_TRACE(testing::Message() << "kind " << v.kind << " depth " << v.depth << " width "
                                      << v.width << (blend ? " blended" : " raw"));
      const DecodeOptions setting = test::blendOptions(blend);
      PlainPictureDecoder decoder;
      test::DecodedPicture decoded = test::decodePicture(decoder, file, setting);
      ASSERT_EQ(decoded.result, ResultCode::Success);
      DibView view{&decoded.header,
                   decoded.palette.empty()
                       ? nullptr
                       : reinterpret_cast<const RgbQuad*>(decoded.palette.data()),
                   decoded.bits.data(), decoded.bits.size()};
      ASSERT_EQ(writeBmpFile(scratch.file("expected.bmp").c_str(), view), ResultCode::Success);
      // Read from the file a slice at a time, or whole first (an archive member's temporary
      // file) and its rows used in place.
      for (bool temporarySource : {false, true}) {
        WorkerBudget workers(2);
        ConversionOptions options;
        options.decode = setting;
        options.workers = &workers;
        options.temporarySource = temporarySource;
        ASSERT_EQ(convertPictureFile(scratch.file("plain").c_str(), source.c_str(), options),
                  ResultCode::Success);
        EXPECT_TRUE(test::readFile(scratch.file("plain.bmp")) ==
                    test::readFile(scratch.file("expected.bmp")))
            << "temporary source " << temporarySource;
      }
    }
  }
}

TEST(SlicedBmp, PlainPictureShorterThanItsRowsIsRefusedWithoutAFile) {
  test::ScratchDir scratch;
  test::Bytes file = writer::writePlainPicture(writer::gradientPicture32(64, 64));
  file.resize(file.size() - 1);
  std::string source = scratch.file("short.px");
  ASSERT_TRUE(test::writeFile(source, file));
  for (bool temporarySource : {false, true}) {
    ConversionOptions options;
    options.temporarySource = temporarySource;
    EXPECT_EQ(convertPictureFile(scratch.file("short").c_str(), source.c_str(), options),
              ResultCode::UnknownFormat);
    EXPECT_EQ(test::listFolder(scratch.path()), std::vector<std::string>{"short.px"});
  }
}

}  // namespace
}  // namespace quorvel
