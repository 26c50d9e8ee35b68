#include "convert/png_writer.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "convert/parallel_deflate.h"
#include "convert/png_filter.h"
#include "decoders/bytes.h"
#include "platform/output_file.h"

namespace {

// libdeflate's level, chosen by measurement with each piece's filtering chosen by trial (Up, or
// each row's own guess): processor time (one thread) and PNG bytes of one archive of the
// generated game (quorvel-make-samples --game DIR 6, data000.a: 130 pictures, -batch -png -raw
// -jobs:1) and of the 4096 x 4096 sprite and gradient (-png -raw -jobs:1):
//   level         4       5       6       7     zlib 6, Paeth   Pillow
//   archive s     0.99    1.17    1.68    3.00  6.24
//   archive MB   23.55   23.70   22.69   21.68  25.83           22.10
//   sprite MB     2.82    2.79    2.57    2.41   2.40            2.32
//   gradient MB   0.289   0.290   0.256   0.253  0.256           0.253
// Level 7 is the lowest whose files are no larger than zlib's and Pillow's on the game; level 6 is
// 1.8 times faster but 2.7 % larger than Pillow's files. Each row's guess alone, as Pillow
// filters, makes the archive 9.6 % larger than the trial at every level: the trial picks Up for
// the noisy backgrounds, where the guess does not.
//
// Measured again on the one-archive game (quorvel-make-samples --game DIR 1: 10 pictures and an
// archive of 180, 122 MB of filtered rows; -batch -png -raw -jobs:1, user + system seconds) and
// the 4096 x 4096 pictures (MB; blended -png and -png -raw):
//   level         1      2      4      6      7      8      Pillow   BMP
//   game s        1.17   1.67   2.11   4.10   7.90  16.06            0.15
//   game MB      30.26  31.10  28.84  27.80  26.57  25.94   27.10
//   gradient     4.452  4.236  3.856  3.551  3.461  3.398   3.580
//   gradient raw 0.305  0.293  0.289  0.256  0.253  0.195   0.253
//   sprite       2.423  2.465  2.299  2.116  1.955  1.819   1.927
//   sprite raw   3.139  3.163  2.821  2.568  2.411  2.168   2.324
// Deflating alone takes 0.54 s at level 1 and 6.74 s at level 7 (of 7.9), and levels 10 to 12
// make the game 13 % smaller at 3 to 5 times level 7's time. A level per piece does not pay: with
// every piece's size and time known at all twelve levels, the fastest choice whose total is no
// larger than level 7's still takes 1.06 times level 7's deflate time (some noisy pieces at 10 to
// pay for others at 4 or 6), and a rule by the trial's compression (noisy pieces one level, the
// others another) finds nothing faster than 7 for both. Even level 1 everywhere leaves the game
// at 7.8 times the BMP run's processor time, 12 % larger than Pillow's files.
constexpr int kDeflateLevel = 7;

// stb_image_write's whole-picture encoder is not used (the rows are filtered and deflated in
// pieces below), so its compressor is never called.
unsigned char* noCompressor(unsigned char*, int, int*, int) {
  return nullptr;
}

}  // namespace

// The library, compiled into this file only: its chunk helpers (its folder is a system include
// folder, so its own code raises no warnings).
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#define STBIW_ZLIB_COMPRESS noCompressor
#define STBIW_CRC32(buffer, length) libdeflate_crc32(0, buffer, static_cast<size_t>(length))
#include <stb_image_write.h>

namespace quorvel {

namespace {

// The file's fixed parts around the compressed rows (signature, IHDR, IDAT and IEND chunks).
constexpr int64_t kPngOverhead = 8 + 25 + 12 + 12;
constexpr size_t kChunkHeadBytes = 8;  // length and type
constexpr size_t kChunkCrcBytes = 4;

int channelsOf(const DibView& picture) {
  switch (picture.header->biBitCount) {
    case 8:
      return picture.palette == nullptr ? 0 : isGreyRamp(picture.palette) ? 1 : 3;
    case 16:
    case 24:
      return 3;
    case 32:
      return 4;
    default:
      return 0;
  }
}

uint8_t widenFiveBits(unsigned v) {
  return static_cast<uint8_t>((v << 3) | (v >> 2));
}

// One DIB row into one PNG row of `channels` bytes per pixel.
void convertRow(uint8_t* out, const uint8_t* in, size_t width, int channels,
                const DibView& picture) {
  switch (picture.header->biBitCount) {
    case 8:
      if (channels == 1) {
        std::memcpy(out, in, width);
        return;
      }
      for (size_t x = 0; x < width; ++x, out += 3) {
        const RgbQuad& colour = picture.palette[in[x]];
        out[0] = colour.red;
        out[1] = colour.green;
        out[2] = colour.blue;
      }
      return;
    case 16:
      for (size_t x = 0; x < width; ++x, in += 2, out += 3) {
        unsigned pixel = loadU16(in);
        out[0] = widenFiveBits((pixel >> 10) & 31);
        out[1] = widenFiveBits((pixel >> 5) & 31);
        out[2] = widenFiveBits(pixel & 31);
      }
      return;
    case 24:
      for (size_t x = 0; x < width; ++x, in += 3, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
      }
      return;
    default:  // 32: blue, green, red, alpha to red, green, blue, alpha
      for (size_t x = 0; x < width; ++x, in += 4, out += 4) {
        uint32_t pixel = loadU32(in);
        storeU32(out, (pixel & 0xFF00FF00u) | ((pixel & 0xFFu) << 16) | ((pixel >> 16) & 0xFFu));
      }
      return;
  }
}

// The PNG's rows made from the DIB's (bottom-up, padded) piece by piece: each converted to PNG
// pixels and filtered with the filter chosen for the piece, which also needs the row above. The
// DIB's rows are read from its bits block, or, for a sliced picture, made for the piece alone
// (its rows and the one above) on the thread that compresses it.
class FilteredRows final : public DeflateInput {
 public:
  FilteredRows(const DibView& picture, const SlicedPicture* sliced, int channels)
      : picture_(picture),
        sliced_(sliced),
        channels_(channels),
        width_(static_cast<size_t>(picture.header->biWidth)),
        height_(static_cast<size_t>(picture.header->biHeight)),
        dibRow_(static_cast<size_t>(dibRowBytes(picture.header))),
        pngRow_(width_ * static_cast<size_t>(channels)),
        rowsPerPiece_(std::max<size_t>(1, kPngPieceBytes / (pngRow_ + 1))) {}

  size_t pieceCount() const override { return (height_ + rowsPerPiece_ - 1) / rowsPerPiece_; }
  size_t pieceBytes(size_t piece) const override { return rowsIn(piece) * (pngRow_ + 1); }

  bool makePiece(size_t piece, uint8_t* out, std::vector<uint8_t>& rows) const override {
    const size_t first = piece * rowsPerPiece_;
    const size_t count = rowsIn(piece);
    const size_t above = first > 0 ? 1 : 0;
    // The piece's rows (with the one above it) and room for the guess's trial row; for a sliced
    // picture then its DIB rows and their scratch.
    const size_t pngBytes = (above + count + 1) * pngRow_;
    const size_t bottom = height_ - first - count;  // the DIB's index of the piece's last row
    const uint8_t* dibRows = nullptr;               // DIB row `bottom`, the others above it
    if (sliced_ == nullptr) {
      rows.resize(pngBytes);
      dibRows = picture_.bits + bottom * dibRow_;
    } else {
      const size_t made = count + above;
      rows.resize(pngBytes + made * (dibRow_ + sliced_->scratchRowBytes));
      uint8_t* into = rows.data() + pngBytes;
      if (!sliced_->makeRows(bottom, made, into, into + made * dibRow_)) return false;
      dibRows = into;
    }
    // Row `row` from the top of the picture, as PNG pixels.
    auto convert = [&](size_t row, uint8_t* to) {
      convertRow(to, dibRows + (height_ - 1 - row - bottom) * dibRow_, width_, channels_, picture_);
    };
    if (above != 0) convert(first - 1, rows.data());
    for (size_t i = 0; i < count; ++i) convert(first + i, rows.data() + (above + i) * pngRow_);
    const uint8_t* piecesRows = rows.data() + above * pngRow_;
    const uint8_t* rowAbovePiece = above != 0 ? rows.data() : nullptr;
    uint8_t* scratch = rows.data() + (above + count) * pngRow_;
    const size_t pixelBytes = static_cast<size_t>(channels_);
    const RowFiltering filtering =
        chooseFiltering(piecesRows, rowAbovePiece, count, pngRow_, pixelBytes);
    for (size_t i = 0; i < count; ++i) {
      const uint8_t* row = piecesRows + i * pngRow_;
      uint8_t* line = out + i * (pngRow_ + 1);
      const uint8_t* rowAbove = i > 0 ? row - pngRow_ : rowAbovePiece;
      line[0] = static_cast<uint8_t>(
          filterRowWith(filtering, row, rowAbove, pngRow_, pixelBytes, line + 1, scratch));
    }
    return true;
  }

 private:
  size_t rowsIn(size_t piece) const {
    return std::min(rowsPerPiece_, height_ - piece * rowsPerPiece_);
  }

  const DibView picture_;  // bits null for a sliced picture
  const SlicedPicture* sliced_;
  const int channels_;
  const size_t width_;
  const size_t height_;
  const size_t dibRow_;
  const size_t pngRow_;
  const size_t rowsPerPiece_;
};

// Where the file's bytes go, in order; false stops the encoding.
using ByteSink = std::function<bool(const uint8_t* bytes, size_t count)>;

// The signature and the IHDR chunk.
bool emitHead(const DibView& picture, int channels, const ByteSink& sink) {
  static const uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
  static const int kColourType[5] = {-1, 0, 4, 2, 6};  // by channels: grey, grey + alpha, RGB, RGBA
  std::array<unsigned char, 8 + 25> head{};
  std::memcpy(head.data(), kSignature, sizeof kSignature);
  unsigned char* o = head.data() + sizeof kSignature;
  stbiw__wp32(o, 13);
  stbiw__wptag(o, "IHDR");
  stbiw__wp32(o, static_cast<uint32_t>(picture.header->biWidth));
  stbiw__wp32(o, static_cast<uint32_t>(picture.header->biHeight));
  *o++ = 8;  // bits per channel
  *o++ = static_cast<unsigned char>(kColourType[channels]);
  *o++ = 0;  // deflate
  *o++ = 0;  // adaptive filtering
  *o++ = 0;  // not interlaced
  stbiw__wpcrc(&o, 13);
  return sink(head.data(), head.size());
}

// One piece of the zlib stream as an IDAT chunk, framed in the room around it.
bool emitIdat(DeflatedPiece& piece, const ByteSink& sink) {
  unsigned char* o = piece.buffer.data();
  stbiw__wp32(o, static_cast<uint32_t>(piece.length));
  stbiw__wptag(o, "IDAT");
  o += piece.length;
  stbiw__wpcrc(&o, static_cast<int>(piece.length));
  return sink(piece.buffer.data(), kChunkHeadBytes + piece.length + kChunkCrcBytes);
}

bool emitEnd(const ByteSink& sink) {
  std::array<unsigned char, 12> end{};
  unsigned char* o = end.data();
  stbiw__wp32(o, 0);
  stbiw__wptag(o, "IEND");
  stbiw__wpcrc(&o, 0);
  return sink(end.data(), end.size());
}

// The PNG's channel count for the picture once its size and its bits are checked (before anything
// is written); 0 when it cannot be a PNG. A sliced picture has no bits block to check.
int acceptedChannels(const DibView& picture, bool sliced) {
  const BitmapInfoHeader* header = picture.header;
  const int channels = channelsOf(picture);
  if (channels == 0 || header->biWidth < 1 || header->biHeight < 1 ||
      !pngSizeAcceptable(header->biWidth, header->biHeight, channels)) {
    return 0;
  }
  if (sliced) return channels;
  const uint64_t dibRow = static_cast<uint64_t>(dibRowBytes(header));
  if (dibRow * static_cast<uint64_t>(header->biHeight) > picture.bitsBytes) return 0;
  return channels;
}

ResultCode encode(const DibView& picture, const SlicedPicture* sliced, int channels,
                  WorkerBudget* workers, const ByteSink& sink) {
  if (!emitHead(picture, channels, sink)) return ResultCode::WriteError;
  FilteredRows rows(picture, sliced, channels);
  DeflateSettings settings;
  settings.level = kDeflateLevel;
  settings.front = kChunkHeadBytes;
  settings.back = kChunkCrcBytes;
  ResultCode result = deflateInPieces(
      rows, settings, workers, [&sink](DeflatedPiece& piece) { return emitIdat(piece, sink); });
  if (result != ResultCode::Success) return result;
  return emitEnd(sink) ? ResultCode::Success : ResultCode::WriteError;
}

// The file at path: nothing is created for a picture that cannot be a PNG, and a failure part way
// leaves no file.
ResultCode writeFile(const char* path, const DibView& picture, const SlicedPicture* sliced,
                     WorkerBudget* workers) {
  const int channels = acceptedChannels(picture, sliced != nullptr);
  if (channels == 0) return ResultCode::WriteError;
  OutputFile out;
  if (!out.create(path)) return ResultCode::WriteError;
  ResultCode result =
      encode(picture, sliced, channels, workers,
             [&out](const uint8_t* bytes, size_t count) { return out.write(bytes, count); });
  if (result != ResultCode::Success) return result;  // the partial file goes with out
  return out.commit() ? ResultCode::Success : ResultCode::WriteError;
}

}  // namespace

bool pngSizeAcceptable(int64_t width, int64_t height, int channels) {
  if (width < 1 || height < 1 || channels < 1 || channels > 4) return false;
  // The filtered rows (a filter byte and the row each) and their compressed stream stay within
  // int-sized lengths (stb's chunk helpers; zlib's bound, kept as the limit it has always been).
  const uint64_t filtered = (static_cast<uint64_t>(width) * channels + 1) * height;
  if (filtered > static_cast<uint64_t>(INT_MAX)) return false;
  return compressBound(static_cast<uLong>(filtered)) + kPngOverhead <= INT_MAX;
}

ResultCode encodePng(const DibView& picture, std::vector<uint8_t>& png, WorkerBudget* workers) {
  png.clear();
  const int channels = acceptedChannels(picture, false);
  if (channels == 0) return ResultCode::WriteError;
  ResultCode result =
      encode(picture, nullptr, channels, workers, [&png](const uint8_t* bytes, size_t count) {
        png.insert(png.end(), bytes, bytes + count);
        return true;
      });
  if (result != ResultCode::Success) png.clear();
  return result;
}

ResultCode writePngFile(const char* path, const DibView& picture, WorkerBudget* workers) {
  return writeFile(path, picture, nullptr, workers);
}

ResultCode writePngInSlices(const char* path, const SlicedPicture& picture, WorkerBudget* workers) {
  if (!picture.makeRows) return ResultCode::WriteError;
  return writeFile(path, DibView{&picture.header, picture.palette, nullptr, 0}, &picture, workers);
}

}  // namespace quorvel
