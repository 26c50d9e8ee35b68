#include "tests/support/expected_bmp.h"

namespace quorvel::test {

namespace {

void put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

Bytes expectedBmp(int32_t width, int32_t height, int bitCount, const Bytes& palette,
                  const std::function<void(int32_t, int32_t, uint8_t*)>& pixel) {
  const size_t bytesPerPixel = bitCount / 8;
  const size_t rowBytes = (width * bytesPerPixel + 3) / 4 * 4;
  const uint32_t offset = 14 + 40 + static_cast<uint32_t>(palette.size());
  Bytes bmp{'B', 'M'};
  put32(bmp, offset + static_cast<uint32_t>(rowBytes * height));
  put32(bmp, 0);
  put32(bmp, offset);
  for (uint32_t v : {40u, uint32_t(width), uint32_t(height), 1u | (uint32_t(bitCount) << 16), 0u,
                     uint32_t(rowBytes * height), 0u, 0u, 0u, 0u}) {
    put32(bmp, v);
  }
  bmp.insert(bmp.end(), palette.begin(), palette.end());
  for (int32_t y = height - 1; y >= 0; --y) {
    Bytes row(rowBytes, 0);
    for (int32_t x = 0; x < width; ++x) pixel(x, y, &row[x * bytesPerPixel]);
    bmp.insert(bmp.end(), row.begin(), row.end());
  }
  return bmp;
}

}  // namespace quorvel::test
