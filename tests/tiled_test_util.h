// Shared by the tests of the tiled decoders and the series writer: test pictures, decoding to
// plain bytes, and the bitmap rows a picture should give.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "decoders/dib.h"
#include "decoders/picture_decoder.h"
#include "tools/writer/tiled_writer.h"

namespace quorvel::tiledtest {

using writer::Bytes;
using writer::Picture;

inline void setPixel(Picture& p, int x, int y, uint32_t bgra) {
  for (int k = 0; k < 4; ++k)
    p.pixels[(size_t(y) * p.width + x) * 4 + k] = uint8_t(bgra >> (8 * k));
}

// A picture with distinct, partly transparent pixels everywhere (seed varies the pattern).
inline Picture patternPicture(int width, int height, int seed) {
  Picture p{width, height, Bytes(size_t(width) * height * 4)};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint32_t a = uint32_t((x * 7 + y * 13 + seed * 31) % 256);
      setPixel(p, x, y,
               uint32_t((x * 3 + seed) & 255) | uint32_t((y * 5) & 255) << 8 |
                   uint32_t((x + y + seed) & 255) << 16 | a << 24);
    }
  }
  return p;
}

// Fills the rectangle with one colour.
inline void fillRect(Picture& p, int x0, int y0, int w, int h, uint32_t bgra) {
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x) setPixel(p, x, y, bgra);
}

struct Decoded {
  ResultCode code = ResultCode::NotImplemented;
  BitmapInfoHeader header{};
  Bytes bits;
  bool infoNull = true;
  bool bitsNull = true;
};

inline Decoded decode(PictureDecoder& decoder, const Bytes& file,
                      const DecodeOptions& options = {}) {
  Decoded d;
  DecodedBitmap bitmap;
  d.code = decoder.getPicture(file.data(), uint32_t(file.size()), options, bitmap);
  d.infoNull = bitmap.info == nullptr;
  d.bitsNull = bitmap.pixels == nullptr;
  if (!bitmap.empty()) d.header = *bitmap.header();
  if (bitmap.pixels != nullptr) {
    d.bits.assign(bitmap.pixels.get(), bitmap.pixels.get() + bitmap.pixelBytes);
  }
  return d;
}

// The bitmap rows (bottom-up, padded) of pictures stacked with the first at the bottom: pixels
// unchanged at 32 bits, or blended over background at 24 bits as blendPixel does.
inline Bytes expectedRows(const std::vector<Picture>& pictures, bool blended,
                          const uint8_t* background) {
  const int bpp = blended ? 3 : 4;
  const Picture& first = pictures.front();
  size_t rowBytes = (size_t(first.width) * bpp + 3) & ~size_t{3};
  Bytes rows;
  for (const Picture& p : pictures) {
    for (int y = p.height - 1; y >= 0; --y) {
      Bytes row(rowBytes, 0);
      for (int x = 0; x < p.width; ++x) {
        const uint8_t* s = &p.pixels[(size_t(y) * p.width + x) * 4];
        if (blended) {
          blendPixel(&row[size_t(x) * 3], s, background);
        } else {
          std::copy(s, s + 4, &row[size_t(x) * 4]);
        }
      }
      rows.insert(rows.end(), row.begin(), row.end());
    }
  }
  return rows;
}

// Decodes 3000 randomly damaged copies of a sound file (a few bytes changed, the end cut off),
// blended and raw in turn, and answers how many still decoded. Each must decode or be refused;
// the sanitizer build checks that nothing is read or written out of bounds.
inline int decodeDamagedCopies(PictureDecoder& decoder, const Bytes& sound, unsigned seed) {
  std::mt19937 random(seed);
  int decoded = 0;
  for (int round = 0; round < 3000; ++round) {
    Bytes file = sound;
    int flips = 1 + round % 4;
    for (int i = 0; i < flips; ++i) file[random() % file.size()] = uint8_t(random());
    file.resize(file.size() - random() % 64);
    DecodeOptions options;
    options.blend = (round & 1) != 0;
    ResultCode code = decode(decoder, file, options).code;
    bool answered = code == ResultCode::Success || code == ResultCode::UnknownFormat ||
                    code == ResultCode::OutOfMemory;
    EXPECT_TRUE(answered) << "round " << round;
    if (!answered) return decoded;
    decoded += code == ResultCode::Success;
  }
  return decoded;
}

}  // namespace quorvel::tiledtest
