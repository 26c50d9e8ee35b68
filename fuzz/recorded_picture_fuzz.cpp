// Run-stream and layered pictures drawn a band of rows at a time from their recorded runs, against
// the whole-picture decoder on the same hostile bytes: the same answer, and where both succeed and
// the runs are drawable, the same bits for bands of any height. Pictures left to the decoder
// (indexed layers, backward runs) are not compared. Settings byte: bit 0 blending, bit 1 the
// layered kind (else run stream), bits 2-7 the band height less one.
#include <cstring>
#include <vector>

#include "decoders/layered_picture.h"
#include "decoders/recorded_picture.h"
#include "decoders/run_stream_picture.h"
#include "fuzz/fuzz_support.h"

namespace {

using namespace quorvel;

// Draws every band into a copy of the bitmap and compares it with the decoder's bits.
void compareBands(const RecordedPicture& picture, const uint8_t* bits, size_t bandRows) {
  const auto rowBytes = static_cast<size_t>(dibRowBytes(&picture.header));
  const auto rows = static_cast<size_t>(picture.header.biHeight);
  std::vector<uint8_t> band(bandRows * rowBytes);
  for (size_t first = 0; first < rows; first += bandRows) {
    const size_t count = rows - first < bandRows ? rows - first : bandRows;
    drawRecordedRows(picture, first, count, band.data());
    if (std::memcmp(band.data(), bits + first * rowBytes, count * rowBytes) != 0) {
      fuzz::fail("a band differs from the whole bitmap");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const bool layered = (data[0] & 2) != 0;
  const AlphaOutput alpha = (data[0] & 1) != 0 ? AlphaOutput::Blended : AlphaOutput::Raw;
  const size_t bandRows = static_cast<size_t>(data[0] >> 2) + 1;
  const size_t length = size - 1;
  // The file in a block of its own size, so that ASan catches any read past its end.
  auto* file = static_cast<uint8_t*>(std::malloc(length == 0 ? 1 : length));
  if (length > 0) std::memcpy(file, data + 1, length);
  const auto fileLength = static_cast<uint32_t>(length);
  // Huge pictures are left out as in the decoders' targets (see kLargePixels).
  PictureInfo info{};
  LayeredPictureDecoder layeredDecoder;
  RunStreamPictureDecoder runStreamDecoder;
  PictureDecoder& decoder =
      layered ? static_cast<PictureDecoder&>(layeredDecoder) : runStreamDecoder;
  if (decoder.getPictureInfo(file, fileLength, DecodeOptions{}, &info) == ResultCode::Success &&
      fuzz::isLarge(info)) {
    std::free(file);
    return 0;
  }
  RecordedPicture picture;
  const ResultCode recorded = layered ? recordLayeredPicture(file, fileLength, alpha, picture)
                                      : recordRunStreamPicture(file, fileLength, alpha, picture);
  DecodedBitmap bitmap;
  const ResultCode decoded = layered ? decodeLayeredPicture(file, fileLength, alpha, bitmap)
                                     : decodeRunStreamPicture(file, fileLength, alpha, bitmap);
  // A picture left to the decoder (indexed layers, backward runs) may still fail there.
  const bool leftToDecoder = recorded == ResultCode::Success && !picture.drawable;
  if (decoded != recorded && !leftToDecoder) {
    fuzz::fail("recording answers otherwise than decoding");
  }
  if (decoded == ResultCode::Success && picture.drawable) {
    if (std::memcmp(bitmap.header(), &picture.header, sizeof picture.header) != 0) {
      fuzz::fail("recorded header differs");
    }
    compareBands(picture, bitmap.pixels.get(), bandRows);
  }
  std::free(file);
  return 0;
}
