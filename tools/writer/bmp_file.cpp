#include "tools/writer/bmp_file.h"

#include <algorithm>
#include <cstdlib>

namespace quorvel::writer {

Bytes writeBmp(const BmpFile& bmp) {
  const uint32_t rows = static_cast<uint32_t>(std::abs(bmp.height));
  const size_t rowBytes = (static_cast<size_t>(bmp.width) * bmp.bitCount + 7) / 8;
  const size_t stride = (rowBytes + 3) / 4 * 4;
  const bool masksBehind = bmp.headerSize == 40 && !bmp.masks.empty();
  const uint32_t offset = 14 + bmp.headerSize +
                          static_cast<uint32_t>(masksBehind ? 4 * bmp.masks.size() : 0) +
                          static_cast<uint32_t>(bmp.palette.size());
  ByteWriter out;
  out.text("BM").u32(offset + static_cast<uint32_t>(stride * rows)).u32(0).u32(offset);
  out.u32(bmp.headerSize).u32(static_cast<uint32_t>(bmp.width));
  out.u32(static_cast<uint32_t>(bmp.height)).u16(1).u16(bmp.bitCount).u32(bmp.compression);
  out.u32(static_cast<uint32_t>(stride * rows)).u32(2835).u32(2835).u32(bmp.coloursUsed).u32(0);
  size_t headerEnd = out.size() + bmp.headerSize - 40;
  for (uint32_t mask : bmp.masks) out.u32(mask);
  if (!masksBehind && out.size() < headerEnd) out.zeros(headerEnd - out.size());
  out.raw(bmp.palette);
  // Rows the given bytes do not cover (a header changed after the rows were made) are zero.
  Bytes pixels = bmp.rows;
  pixels.resize(std::max(pixels.size(), rowBytes * rows), 0);
  for (uint32_t i = 0; i < rows; ++i) {
    size_t row = bmp.height < 0 ? i : rows - 1 - i;
    auto from = pixels.begin() + static_cast<std::ptrdiff_t>(row * rowBytes);
    out.raw(Bytes(from, from + static_cast<std::ptrdiff_t>(rowBytes)));
    out.zeros(stride - rowBytes);
  }
  return out.take();
}

std::vector<std::pair<std::string, BmpFile>> seedBmps() {
  auto make = [](int32_t width, int32_t height, uint16_t bits) {
    BmpFile bmp;
    bmp.width = width;
    bmp.height = height;
    bmp.bitCount = bits;
    size_t rows =
        (static_cast<size_t>(width) * bits + 7) / 8 * static_cast<size_t>(std::abs(height));
    for (size_t i = 0; i < rows; ++i) bmp.rows.push_back(static_cast<uint8_t>(i * 37 + 11));
    if (bits <= 8) {
      for (size_t i = 0; i < (size_t{4} << bits); ++i)
        bmp.palette.push_back(static_cast<uint8_t>(i * 5));
    }
    return bmp;
  };
  std::vector<std::pair<std::string, BmpFile>> seeds = {
      {"bits1", make(13, 3, 1)},  {"bits4", make(7, 2, 4)},    {"bits8", make(5, 4, 8)},
      {"bits16", make(3, 3, 16)}, {"bits24", make(6, -3, 24)}, {"bits32", make(4, 2, 32)},
  };
  BmpFile rgb565 = make(5, 2, 16);
  rgb565.compression = 3;
  rgb565.masks = {0xF800, 0x07E0, 0x001F};
  seeds.emplace_back("masks565", rgb565);
  BmpFile v5 = make(3, 3, 32);
  v5.compression = 3;
  v5.headerSize = 124;
  v5.masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
  seeds.emplace_back("v5alpha", v5);
  BmpFile shortTable = make(4, 4, 8);
  shortTable.palette.resize(12);
  shortTable.coloursUsed = 3;
  seeds.emplace_back("colours3", shortTable);
  return seeds;
}

}  // namespace quorvel::writer
