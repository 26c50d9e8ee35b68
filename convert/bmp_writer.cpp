#include "convert/bmp_writer.h"

#include "decoders/bytes.h"
#include "platform/output_file.h"

namespace quorvel {

ResultCode writeBmpFile(const char* path, const DibView& picture) {
  const size_t paletteBytes = picture.palette != nullptr ? 256 * sizeof(RgbQuad) : 0;
  const size_t infoBytes = kInfoHeaderBytes + paletteBytes;
  const size_t pixelBytes = static_cast<size_t>(dibImageBytes(picture.header));
  uint8_t fileHeader[14] = {'B', 'M'};
  storeU32(fileHeader + 2, static_cast<uint32_t>(14 + infoBytes + pixelBytes));
  storeU32(fileHeader + 10, static_cast<uint32_t>(14 + infoBytes));
  OutputFile out;
  if (!out.create(path) || !out.write(fileHeader, sizeof fileHeader) ||
      !out.write(picture.header, kInfoHeaderBytes) ||
      (paletteBytes > 0 && !out.write(picture.palette, paletteBytes)) ||
      !out.write(picture.bits, pixelBytes) || !out.commit()) {
    return ResultCode::WriteError;
  }
  return ResultCode::Success;
}

}  // namespace quorvel
