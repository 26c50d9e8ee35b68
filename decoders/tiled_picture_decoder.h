// The decoder of both tiled picture families. They differ only in how the header is read, how a
// tile row is drawn and where the stored size lies; the walk over the stacked images, the checks
// and the output bitmap are one procedure.
#pragma once

#include "decoders/bytes.h"
#include "decoders/picture_decoder.h"
#include "decoders/tiled_family.h"

namespace quorvel {

enum class TiledFamily { WithColours, Bordered };

// What tells the two families apart.
struct TiledRoutines {
  // Reads and checks the header from the file's first bytes (at least 32, or the whole file) and
  // the file's size.
  bool (*readHeader)(ByteView head, uint64_t fileSize, TiledLayout& layout);
  TileRenderer raw;
  TileRenderer blended;
  void (*storedSize)(ByteView head, int32_t& width, int32_t& stackedHeight);

  bool readLayout(ByteView file, TiledLayout& layout) const {
    return readHeader(file, file.size(), layout);
  }
};

const TiledRoutines& tiledRoutines(TiledFamily family);

class TiledPictureDecoder : public PictureDecoder {
 public:
  explicit TiledPictureDecoder(TiledFamily family) : routines_(tiledRoutines(family)) {}
  ResultCode getPictureInfo(const uint8_t* buffer, size_t length, const DecodeOptions& options,
                            PictureInfo* info) override;
  // Stacks up to 8 images, image 0 in the bottom band.
  ResultCode getPicture(const uint8_t* buffer, size_t length, const DecodeOptions& options,
                        DecodedBitmap& bitmap) override;

 private:
  const TiledRoutines& routines_;
};

class TiledWithColoursDecoder final : public TiledPictureDecoder {
 public:
  TiledWithColoursDecoder() : TiledPictureDecoder(TiledFamily::WithColours) {}
};

class TiledBorderedDecoder final : public TiledPictureDecoder {
 public:
  TiledBorderedDecoder() : TiledPictureDecoder(TiledFamily::Bordered) {}
};

}  // namespace quorvel
