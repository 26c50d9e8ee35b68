#include "convert/picture_need.h"

#include <algorithm>

#include "convert/png_writer.h"
#include "decoders/bytes.h"
#include "decoders/dib.h"
#include "decoders/plain_picture.h"
#include "decoders/run_stream.h"
#include "platform/system.h"

namespace quorvel {

namespace {

// The largest pixel block a decoded picture may have: its size is kept in a signed 32-bit field
// on the way to the writers.
constexpr uint64_t kMaxDecodedBlockBytes = 0x7FFFFFFF;
// What the slices of a plain picture written in slices hold at once, in rows of the picture:
// a few slices of at least one row each, and the threads' scratch rows.
constexpr uint64_t kSliceBufferRows = 16;
constexpr uint64_t kSliceBytes = uint64_t{128} << 10;

struct HeaderSize {
  int64_t width = 0;
  int64_t height = 0;
  int pixelBytes = 0;        // of the decoded picture
  uint64_t storedBytes = 0;  // the least a sound file of this size holds (0: not known)
};

bool plainSize(const uint8_t* probe, bool blend, HeaderSize& size) {
  const uint8_t* header = pxHeaderStart(probe);
  const uint16_t depth = loadU16(header + 18);
  if (depth != 8 && depth != 16 && depth != 32) return false;
  size.width = loadI32(header);
  size.height = loadI32(header + 4);
  size.pixelBytes = depth == 32 && blend ? 3 : depth / 8;
  // Every pixel is in the file, at least depth / 8 bytes of it: a shorter file is damaged.
  if (size.width > 0 && size.height > 0) {
    size.storedBytes =
        static_cast<uint64_t>(size.width) * static_cast<uint64_t>(size.height) * (depth / 8);
  }
  return true;
}

// A tiled file holds an index entry (2 bytes) per cell of each image; one holding no image
// needs no pixel memory at all.
bool tiledSize(int64_t width, int64_t height, int64_t tileEdge, int64_t images, int pixelBytes,
               HeaderSize& size) {
  if (images < 1 || tileEdge < 1) return false;
  size = {width, height, pixelBytes, 0};
  if (width > 0 && height > 0) {
    const auto cells = [&](int64_t length) {
      return static_cast<uint64_t>((length + tileEdge - 1) / tileEdge);
    };
    size.storedBytes = 2 * cells(width) * cells(height);
  }
  return true;
}

bool headerSize(const uint8_t* probe, bool blend, HeaderSize& size) {
  const int wideBytes = blend ? 3 : 4;  // pictures with alpha: blended, or kept
  switch (identifyPicture(probe)) {
    case PictureKind::Plain:
      return plainSize(probe, blend, size);
    case PictureKind::Layered:
      size = {loadI32(probe + 20), loadI32(probe + 24), wideBytes, 0};
      return true;
    case PictureKind::RunStream:
      size = {loadI32(probe), loadI32(probe + 4), directOutputBytes(loadU16(probe + 18), blend), 0};
      return size.pixelBytes != 0;
    case PictureKind::TiledWithColours:
      return tiledSize(loadI32(probe + 0x14), loadI32(probe + 0x18), loadI16(probe + 4),
                       loadI32(probe), wideBytes, size);
    case PictureKind::Tiled:
      return tiledSize(loadI16(probe + 0x14), loadI16(probe + 0x16), loadU32(probe + 4),
                       loadU16(probe), wideBytes, size);
    case PictureKind::Unknown:
      break;
  }
  return false;
}

std::string thousands(uint64_t value) {
  const std::string digits = std::to_string(value);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

}  // namespace

bool convertsInSlices(PictureKind kind, const ConversionOptions& options) {
  return kind == PictureKind::Plain && options.pictureFormat == PictureFormat::Bmp &&
         !options.temporarySource;
}

bool probePictureNeed(const uint8_t* probe, uint64_t fileBytes, const ConversionOptions& options,
                      PictureNeed& need) {
  need = PictureNeed{};
  const bool blend = options.decode.blend;
  HeaderSize size;
  if (!headerSize(probe, blend, size)) return false;
  // Sides outside what any decoder takes, and files too short for what they announce, are
  // damaged rather than large: the decoder answers for them as it always has.
  if (size.width < 1 || size.width > kMaxDimension || size.height < 1 ||
      size.height > kMaxDimension || size.storedBytes > fileBytes) {
    return false;
  }
  need.width = size.width;
  need.height = size.height;
  const uint64_t rowBytes = paddedRowBytes(size.width, size.pixelBytes);
  need.blockBytes = rowBytes * static_cast<uint64_t>(size.height);
  if (convertsInSlices(identifyPicture(probe), options)) {
    need.addressable = dibSizeAcceptable(size.width, size.height, 8 * size.pixelBytes);
    need.memoryBytes = kSliceBufferRows * std::max(rowBytes, kSliceBytes);
    return true;
  }
  need.addressable = need.blockBytes <= kMaxDecodedBlockBytes;
  // The whole file, the block, and for a PNG its compressed copy (at most about the block).
  need.memoryBytes = fileBytes + need.blockBytes;
  if (options.pictureFormat == PictureFormat::Png) {
    need.memoryBytes += need.blockBytes + 2 * kPngPieceBytes;
  }
  // A raw layered picture that mixes depths is drawn a second time at 32 bits.
  if (!blend && identifyPicture(probe) == PictureKind::Layered) need.memoryBytes += need.blockBytes;
  return true;
}

std::string pictureRefusal(const PictureNeed& need, uint64_t maxPixels) {
  const std::string size = std::to_string(need.width) + " x " + std::to_string(need.height);
  if (!need.addressable) {
    return size + " pixels need " + thousands(need.blockBytes) +
           " bytes in one block; a picture can have at most " + thousands(kMaxDecodedBlockBytes);
  }
  if (maxPixels == 0 || need.pixels() <= maxPixels) return "";
  const std::string s(1, kSwitchChar);
  return size + " pixels (" + thousands(need.pixels()) + ") are over the limit of " +
         thousands(maxPixels) + " pixels; " + s + "maxpixels:" + std::to_string(need.pixels()) +
         " or " + s + "maxpixels:0 converts it";
}

}  // namespace quorvel
