#include "decoders/run_stream_picture.h"

#include <utility>

#include "decoders/bytes.h"
#include "decoders/dib.h"
#include "decoders/run_stream.h"

namespace quorvel {

namespace {

// Header: width and height (i32) at 0 and 4, kind 4 (u16) at 16, depth (u16) at 18, a copy of
// the width or the run-stream signature at 20; the run stream starts at 32.
constexpr size_t kHeaderBytes = 32;

}  // namespace

ResultCode RunStreamPictureDecoder::getPictureInfo(const uint8_t* buffer, size_t length,
                                                   const DecodeOptions& options,
                                                   PictureInfo* info) {
  ByteView file(buffer, length);
  if (!file.contains(0, kHeaderBytes)) return ResultCode::UnknownFormat;
  uint16_t depth = file.u16(18);
  *info = PictureInfo{};
  info->width = file.i32(0);
  info->height = file.i32(4);
  info->bitDepth = static_cast<int16_t>(depth == 32 && options.blend ? 24 : depth);
  return ResultCode::Success;
}

ResultCode decodeRunStreamPicture(const uint8_t* buffer, size_t length, AlphaOutput alpha,
                                  DecodedBitmap& bitmap) {
  ByteView file(buffer, length);
  if (!file.contains(0, kHeaderBytes)) return ResultCode::UnknownFormat;
  int depth = file.u16(18);
  int pixelBytes = directOutputBytes(depth, alpha == AlphaOutput::Blended);
  if (pixelBytes == 0) return ResultCode::UnknownFormat;
  DibOutput dib;
  // Refuses sides outside 1..16777215 and bitmaps beyond 4 GiB. The bits block is zero-filled,
  // so pixels no run covers come out black (and transparent in raw output).
  ResultCode result = allocateDib(file.i32(0), file.i32(4), 8 * pixelBytes, dib);
  if (result != ResultCode::Success) return result;
  // The runs go straight into the bottom-up bits block: picture row r is block row height-1-r.
  PixelTarget target = PixelTarget::whole(dib.rowFromTop(0), -static_cast<ptrdiff_t>(dib.rowBytes),
                                          dib.header->biWidth, dib.header->biHeight, pixelBytes);
  ByteCursor cursor(file, kHeaderBytes);
  result = decodeDirectRuns(cursor, target, directPixelsFor(depth, alpha));
  if (result != ResultCode::Success) {
    discardDib(dib);
    return result;
  }
  handOverDib(dib, bitmap);
  return ResultCode::Success;
}

ResultCode recordRunStreamPicture(const uint8_t* buffer, size_t length, AlphaOutput alpha,
                                  RecordedPicture& out) {
  out = RecordedPicture{};
  ByteView file(buffer, length);
  out.file = file;
  if (!file.contains(0, kHeaderBytes)) return ResultCode::UnknownFormat;
  int depth = file.u16(18);
  int pixelBytes = directOutputBytes(depth, alpha == AlphaOutput::Blended);
  if (pixelBytes == 0) return ResultCode::UnknownFormat;
  const int64_t width = file.i32(0), height = file.i32(4);
  if (!dibSizeAcceptable(width, height, 8 * pixelBytes)) return ResultCode::UnknownFormat;
  out.header = dibHeader(width, height, 8 * pixelBytes);
  RecordedLayer layer;
  layer.width = width;
  layer.height = height;
  layer.pixels = directPixelsFor(depth, alpha);
  ByteCursor cursor(file, kHeaderBytes);
  bool ordered = true;
  ResultCode result = recordDirectRuns(cursor, width, height, depth / 8, layer.runs, ordered);
  if (result != ResultCode::Success) return result;
  out.layers.push_back(std::move(layer));
  out.drawable = ordered;
  return ResultCode::Success;
}

ResultCode RunStreamPictureDecoder::getPicture(const uint8_t* buffer, size_t length,
                                               const DecodeOptions& options,
                                               DecodedBitmap& bitmap) {
  return decodeRunStreamPicture(buffer, length, alphaOutputOf(options), bitmap);
}

}  // namespace quorvel
