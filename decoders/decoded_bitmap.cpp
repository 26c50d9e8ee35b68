#include "decoders/decoded_bitmap.h"

#include "decoders/dib.h"

namespace quorvel {

const BitmapInfoHeader* DecodedBitmap::header() const {
  return reinterpret_cast<const BitmapInfoHeader*>(info.get());
}

const RgbQuad* DecodedBitmap::palette() const {
  if (empty() || infoBytes < kPaletteInfoBytes || header()->biBitCount != 8) return nullptr;
  return reinterpret_cast<const RgbQuad*>(info.get() + kInfoHeaderBytes);
}

}  // namespace quorvel
