#include "convert/picture_listing.h"

#include <cstring>
#include <vector>

#include "convert/picture_damage.h"
#include "convert/picture_probe.h"
#include "decoders/bytes.h"
#include "decoders/dib.h"
#include "decoders/spi_px.h"
#include "decoders/spi_px04.h"
#include "decoders/spi_px0b.h"
#include "decoders/spi_px0c.h"
#include "decoders/spi_px40.h"
#include "decoders/tiled.h"
#include "platform/whole_file.h"

namespace quorvel {

namespace {

// Tiled files: the checked layout gives one image's size and the image count. A file that holds
// no image at all still converts (to nothing), so it is listed with its header's sizes.
ResultCode describeTiled(ByteView file, bool (*readLayout)(ByteView, TiledLayout&),
                         const DecodeOptions& options, PictureListing& listing) {
  TiledLayout layout;
  if (!readLayout(file, layout) && layout.imageCount > 0) return ResultCode::UnknownFormat;
  listing.width = layout.width;
  listing.height = layout.height;
  listing.imageCount = layout.imageCount > 0 ? layout.imageCount : 0;
  listing.bitsPerPixel = options.blend ? 24 : 32;
  return ResultCode::Success;
}

// The other kinds hold one image; their decoder tells its size and depth.
ResultCode describeSingle(SpiBase& decoder, const std::vector<uint8_t>& bytes,
                          const DecodeOptions& options, PictureListing& listing) {
  PictureInfo info{};
  ResultCode result =
      decoder.getPictureInfo(bytes.data(), static_cast<uint32_t>(bytes.size()), options, &info);
  if (result != ResultCode::Success) return result;
  if (!dibSizeAcceptable(info.width, info.height, info.bitDepth)) return ResultCode::UnknownFormat;
  listing.width = info.width;
  listing.height = info.height;
  listing.bitsPerPixel = info.bitDepth;
  listing.imageCount = 1;
  return ResultCode::Success;
}

}  // namespace

ResultCode describePicture(const char* path, const DecodeOptions& options,
                           PictureListing& listing) {
  listing = PictureListing{};
  std::vector<uint8_t> bytes;
  if (!readWholeFile(path, bytes)) return ResultCode::ReadError;
  uint8_t probe[kProbeBytes] = {};
  if (!bytes.empty()) {
    std::memcpy(probe, bytes.data(), bytes.size() < kProbeBytes ? bytes.size() : kProbeBytes);
  }
  listing.kind = identifyPicture(probe);
  ByteView file(bytes.data(), bytes.size());
  switch (listing.kind) {
    case PictureKind::Plain: {
      SpiPX decoder;
      ResultCode result = describeSingle(decoder, bytes, options, listing);
      if (result != ResultCode::Success) return result;
      listing.damage =
          pictureDamage(bytes.data(), static_cast<uint32_t>(bytes.size()), bytes.size());
      return listing.damage.empty() ? ResultCode::Success : ResultCode::UnknownFormat;
    }
    case PictureKind::Layered: {
      SpiPx40 decoder;
      return describeSingle(decoder, bytes, options, listing);
    }
    case PictureKind::RunStream: {
      SpiPx04 decoder;
      return describeSingle(decoder, bytes, options, listing);
    }
    case PictureKind::TiledWithColours:
      return describeTiled(file, readPx0BLayout, options, listing);
    case PictureKind::Tiled:
      return describeTiled(file, readPx0CLayout, options, listing);
    case PictureKind::Unknown:
      break;
  }
  return ResultCode::UnknownFormat;
}

}  // namespace quorvel
