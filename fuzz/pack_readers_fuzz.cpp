// The packer's readers of BMP, PNG and WAVE files on hostile bytes. The first input byte chooses
// the reader (0 BMP, 1 PNG, 2 WAVE, modulo 3); the rest is the file, in a block of its own size.
// Whatever a reader accepts must hold what it announces: a raster exactly its rows (and 256
// colours at 8 bits), whose picture file the decoders turn back into the same pixels; a wave
// member that the archive reader rebuilds into the very file.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/wave_header.h"
#include "decoders/decode_options.h"
#include "decoders/dib.h"
#include "decoders/layered_picture.h"
#include "decoders/plain_picture.h"
#include "fuzz/fuzz_support.h"
#include "pack/bmp_reader.h"
#include "pack/picture_encoder.h"
#include "pack/png_reader.h"
#include "pack/wave_reader.h"

using namespace quorvel;

namespace {

// Decodes the raster's picture file with -raw and compares the rows.
void checkPictureFile(const Raster& raster) {
  std::vector<uint8_t> file = encodePicture(raster);
  PlainPictureDecoder plain;
  LayeredPictureDecoder layered;
  PictureDecoder& decoder =
      raster.bitsPerPixel == 24 ? static_cast<PictureDecoder&>(layered) : plain;
  DecodeOptions raw;
  raw.blend = false;
  DecodedBitmap bitmap;
  if (decoder.getPicture(file.data(), static_cast<uint32_t>(file.size()), raw, bitmap) !=
      ResultCode::Success) {
    fuzz::fail("the decoders refuse a packed picture");
  }
  const BitmapInfoHeader* info = bitmap.header();
  const uint8_t* bits = bitmap.pixels.get();
  const size_t stride = static_cast<size_t>(paddedRowBytes(raster.width, raster.bitsPerPixel / 8));
  if (info->biBitCount != raster.bitsPerPixel || info->biWidth != raster.width ||
      info->biHeight != raster.height) {
    fuzz::fail("a packed picture decodes to another size or depth");
  }
  for (int64_t y = 0; y < raster.height; ++y) {
    const uint8_t* row = bits + static_cast<size_t>(raster.height - 1 - y) * stride;
    if (std::memcmp(row, raster.row(y), raster.rowBytes()) != 0) {
      fuzz::fail("a packed picture decodes to other pixels");
    }
  }
}

void checkRaster(const Raster& raster) {
  if (raster.width < 1 || raster.height < 1) fuzz::fail("an empty raster");
  const int bits = raster.bitsPerPixel;
  if (bits != 8 && bits != 16 && bits != 24 && bits != 32) fuzz::fail("an unknown depth");
  if (raster.pixels.size() != raster.rowBytes() * static_cast<size_t>(raster.height)) {
    fuzz::fail("a raster whose rows disagree with its size");
  }
  if ((bits == 8) != (raster.palette.size() == 1024)) fuzz::fail("a palette of the wrong size");
  if (raster.width * raster.height <= fuzz::kLargePixels) checkPictureFile(raster);
}

void checkWave(const uint8_t* file, size_t size) {
  std::optional<std::vector<uint8_t>> stored = waveMemberForm(file, size);
  if (!stored) return;
  std::vector<uint8_t> rebuilt(44);
  buildWaveHeader(rebuilt.data(), stored->data());
  rebuilt.insert(rebuilt.end(), stored->begin() + 18, stored->end());
  if (rebuilt.size() != size || std::memcmp(rebuilt.data(), file, size) != 0) {
    fuzz::fail("a wave member that is not rebuilt into its file");
  }
}

// A PNG whose header announces more pixels than the targets decode (see fuzz_support.h).
bool isLargePng(const uint8_t* file, size_t length) {
  if (length < 24) return false;
  auto bigEndian = [](const uint8_t* p) {
    return (uint64_t{p[0]} << 24) | (uint64_t{p[1]} << 16) | (uint64_t{p[2]} << 8) | p[3];
  };
  return static_cast<int64_t>(bigEndian(file + 16) * bigEndian(file + 20)) > fuzz::kLargePixels;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int reader = data[0] % 3;
  if (reader == 1 && isLargePng(data + 1, size - 1)) return 0;
  const size_t length = size - 1;
  auto* file = static_cast<uint8_t*>(std::malloc(length == 0 ? 1 : length));
  if (length > 0) std::memcpy(file, data + 1, length);
  Raster raster;
  std::string problem;
  if (reader == 2) {
    checkWave(file, length);
  } else if (reader == 0 ? readBmp(file, length, raster, problem)
                         : readPng(file, length, raster, problem)) {
    checkRaster(raster);
  } else if (problem.empty()) {
    fuzz::fail("a refusal without a reason");
  }
  std::free(file);
  return 0;
}
