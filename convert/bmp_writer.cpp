#include "convert/bmp_writer.h"

#include "decoders/bytes.h"

namespace quorvel {

bool startBmpFile(OutputFile& out, const char* path, const BitmapInfoHeader& header,
                  const RgbQuad* palette) {
  const size_t paletteBytes = palette != nullptr ? 256 * sizeof(RgbQuad) : 0;
  const size_t infoBytes = kInfoHeaderBytes + paletteBytes;
  const size_t pixelBytes = static_cast<size_t>(dibImageBytes(&header));
  uint8_t fileHeader[kBmpFileHeaderBytes] = {'B', 'M'};
  storeU32(fileHeader + 2, static_cast<uint32_t>(kBmpFileHeaderBytes + infoBytes + pixelBytes));
  storeU32(fileHeader + 10, static_cast<uint32_t>(kBmpFileHeaderBytes + infoBytes));
  return out.create(path) && out.write(fileHeader, sizeof fileHeader) &&
         out.write(&header, kInfoHeaderBytes) &&
         (paletteBytes == 0 || out.write(palette, paletteBytes));
}

ResultCode writeBmpFile(const char* path, const DibView& picture) {
  const size_t pixelBytes = static_cast<size_t>(dibImageBytes(picture.header));
  OutputFile out;
  if (!startBmpFile(out, path, *picture.header, picture.palette) ||
      !out.write(picture.bits, pixelBytes) || !out.commit()) {
    return ResultCode::WriteError;
  }
  return ResultCode::Success;
}

}  // namespace quorvel
