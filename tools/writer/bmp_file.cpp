#include "tools/writer/bmp_file.h"

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
  for (uint32_t i = 0; i < rows; ++i) {
    size_t row = bmp.height < 0 ? i : rows - 1 - i;
    auto from = bmp.rows.begin() + static_cast<std::ptrdiff_t>(row * rowBytes);
    out.raw(Bytes(from, from + static_cast<std::ptrdiff_t>(rowBytes)));
    out.zeros(stride - rowBytes);
  }
  return out.take();
}

}  // namespace quorvel::writer
