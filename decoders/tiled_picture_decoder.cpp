#include "decoders/tiled_picture_decoder.h"

#include "decoders/tiled_bordered.h"
#include "decoders/tiled_with_colours.h"

namespace quorvel {

namespace {

constexpr uint32_t kHeaderBytes = 32;

constexpr TiledRoutines kWithColours{readTiledWithColoursHeader, renderTiledWithColoursRaw,
                                     renderTiledWithColoursBlended, tiledWithColoursStoredSize};
constexpr TiledRoutines kBordered{readTiledBorderedHeader, renderTiledBorderedRaw,
                                  renderTiledBorderedBlended, tiledBorderedStoredSize};

}  // namespace

const TiledRoutines& tiledRoutines(TiledFamily family) {
  return family == TiledFamily::WithColours ? kWithColours : kBordered;
}

ResultCode TiledPictureDecoder::getPictureInfo(const uint8_t* buffer, size_t length,
                                               const DecodeOptions& options, PictureInfo* info) {
  if (length < kHeaderBytes) return ResultCode::UnknownFormat;
  const ByteView head(buffer, length);
  const int16_t depth = head.i16(0x12);
  *info = PictureInfo{};
  routines_.storedSize(head, info->width, info->height);
  info->bitDepth = static_cast<int16_t>(depth == 32 && options.blend ? 24 : depth);
  return ResultCode::Success;
}

ResultCode TiledPictureDecoder::getPicture(const uint8_t* buffer, size_t length,
                                           const DecodeOptions& options, DecodedBitmap& bitmap) {
  const ByteView file(buffer, length);
  TiledLayout layout;
  if (buffer == nullptr || !routines_.readLayout(file, layout)) return ResultCode::UnknownFormat;
  const bool blended = options.blend;
  return decodeStackedImages(file, layout, blended ? routines_.blended : routines_.raw,
                             blended ? 24 : 32, options.background, bitmap);
}

}  // namespace quorvel
