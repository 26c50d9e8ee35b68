// Runs a decoder's getPicture on bytes in memory and keeps copies of what it handed back.
#pragma once

#include <cstdint>
#include <vector>

#include "decoders/alpha_output.h"
#include "decoders/dib.h"
#include "decoders/picture_decoder.h"

namespace quorvel::test {

struct DecodedPicture {
  ResultCode result = ResultCode::NotImplemented;
  bool infoHanded = false;  // the bitmap came back with an info block
  bool bitsHanded = false;
  size_t infoBytes = 0;  // size of the info block
  BitmapInfoHeader header{};
  std::vector<uint8_t> palette;  // the 1024 colour bytes of an 8-bit bitmap
  std::vector<uint8_t> bits;

  size_t rowBytes() const { return static_cast<size_t>(dibRowBytes(&header)); }
  // Pixel (x, t) with t counted from the top of the picture.
  const uint8_t* pixel(int x, int t) const {
    return bits.data() + (header.biHeight - 1 - t) * rowBytes() + x * (header.biBitCount / 8);
  }
  std::vector<uint8_t> pixelBytes(int x, int t) const {
    return std::vector<uint8_t>(pixel(x, t), pixel(x, t) + header.biBitCount / 8);
  }
};

DecodedPicture decodePicture(PictureDecoder& decoder, const std::vector<uint8_t>& file,
                             const DecodeOptions& options = {});
// The same for a decoding function given the alpha output itself (Straight included).
using AlphaDecode = ResultCode (*)(const uint8_t*, size_t, AlphaOutput, DecodedBitmap&);
DecodedPicture decodePicture(AlphaDecode decode, const std::vector<uint8_t>& file,
                             AlphaOutput alpha);

// The default options with blending on (the default) or off (the raw switch).
inline DecodeOptions blendOptions(bool blend) {
  DecodeOptions options;
  options.blend = blend;
  return options;
}

}  // namespace quorvel::test
