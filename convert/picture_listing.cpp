#include "convert/picture_listing.h"

#include <cstring>
#include <vector>

#include "convert/picture_damage.h"
#include "convert/picture_probe.h"
#include "decoders/bytes.h"
#include "decoders/dib.h"
#include "decoders/layered_picture.h"
#include "decoders/plain_picture.h"
#include "decoders/run_stream_picture.h"
#include "decoders/tiled_bordered.h"
#include "decoders/tiled_family.h"
#include "decoders/tiled_with_colours.h"
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
ResultCode describeSingle(PictureDecoder& decoder, const std::vector<uint8_t>& bytes,
                          const DecodeOptions& options, PictureListing& listing) {
  // The decoders count a file's bytes in 32 bits: a larger file is no picture they describe.
  if (bytes.size() > UINT32_MAX) return ResultCode::UnknownFormat;
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
      PlainPictureDecoder decoder;
      ResultCode result = describeSingle(decoder, bytes, options, listing);
      if (result != ResultCode::Success) return result;
      listing.damage =
          pictureDamage(bytes.data(), static_cast<uint32_t>(bytes.size()), bytes.size());
      return listing.damage.empty() ? ResultCode::Success : ResultCode::UnknownFormat;
    }
    case PictureKind::Layered: {
      LayeredPictureDecoder decoder;
      return describeSingle(decoder, bytes, options, listing);
    }
    case PictureKind::RunStream: {
      RunStreamPictureDecoder decoder;
      return describeSingle(decoder, bytes, options, listing);
    }
    case PictureKind::TiledWithColours:
      return describeTiled(file, readTiledWithColoursLayout, options, listing);
    case PictureKind::Tiled:
      return describeTiled(file, readTiledBorderedLayout, options, listing);
    case PictureKind::Unknown:
      break;
  }
  return ResultCode::UnknownFormat;
}

}  // namespace quorvel
