#include "decoders/tiled_family.h"

#include "decoders/dib.h"
#include "decoders/pixel_rows.h"

namespace quorvel {

namespace {

// The number of cells of edge tileEdge that cover length pixels.
int64_t cellsFor(int64_t length, int64_t tileEdge) {
  return (length + tileEdge - 1) / tileEdge;
}

}  // namespace

bool finishTiledLayout(ByteView file, TiledLayout& layout) {
  return finishTiledLayout(uint64_t{file.size()}, layout);
}

bool finishTiledLayout(uint64_t fileSize, TiledLayout& layout) {
  if (layout.imageCount < 1 || layout.tileEdge < 1) return false;
  if (layout.width < 1 || layout.width > kMaxDimension || layout.height < 1 ||
      layout.height > kMaxDimension) {
    return false;
  }
  // Cells that do not cover the picture exactly would leave the last column or row with no
  // pixels, or with more than one tile edge of them.
  if (layout.tilesAcross != cellsFor(layout.width, layout.tileEdge) ||
      layout.tilesDown != cellsFor(layout.height, layout.tileEdge)) {
    return false;
  }
  // Divide rather than multiply: imageCount x entries may not fit in 64 bits.
  uint64_t imageBytes = 2 * layout.entriesPerImage();
  if (layout.firstIndex > fileSize) return false;
  uint64_t room = fileSize - layout.firstIndex;
  if (static_cast<uint64_t>(layout.imageCount) > room / imageBytes) return false;
  uint64_t tableBytes = imageBytes * static_cast<uint64_t>(layout.imageCount);
  layout.records = layout.firstIndex + tableBytes;
  return true;
}

ByteView WholeRecords::find(const void* context, int64_t v) {
  const auto* whole = static_cast<const WholeRecords*>(context);
  const uint64_t at = static_cast<uint64_t>(v - 1) * whole->recordBytes;
  if (v < 1 || !whole->records.contains(at, 0)) return ByteView();
  return ByteView(whole->records.at(static_cast<size_t>(at)), whole->records.size() - at);
}

bool TileBand::fits(const TiledLayout& layout, int bytesPerPixel) const {
  if (bottom == nullptr || width != layout.width || height != layout.height) return false;
  uint64_t row = static_cast<uint64_t>(width) * static_cast<uint64_t>(bytesPerPixel);
  return rowBytes >= row && static_cast<uint64_t>(rowBytes) * static_cast<uint64_t>(height) <= size;
}

void copyTileRaw(const TileBand& band, int64_t x, int64_t y, int64_t w, int64_t h,
                 const uint8_t* source, size_t sourceStride) {
  if (w <= 0) return;
  size_t run = static_cast<size_t>(w) * 4;
  uint8_t* row = band.pixel(x, y, 4);
  for (int64_t j = 0; j < h; ++j, row -= band.rowBytes, source += sourceStride) {
    std::memcpy(row, source, run);
  }
}

void copyTileBlended(const TileBand& band, int64_t x, int64_t y, int64_t w, int64_t h,
                     const uint8_t* source, size_t sourceStride, const uint8_t* background) {
  if (w <= 0) return;
  // As blendPixel: opaque copies, fully transparent gives the background.
  const uint32_t backgroundValue = backgroundPixel(background);
  uint8_t* row = band.pixel(x, y, 3);
  for (int64_t j = 0; j < h; ++j, row -= band.rowBytes, source += sourceStride) {
    blendRowOver(row, source, static_cast<size_t>(w), backgroundValue);
  }
}

ResultCode decodeStackedImages(ByteView file, const TiledLayout& layout, TileRenderer render,
                               int bitsPerPixel, const uint8_t* background, DecodedBitmap& bitmap) {
  const int64_t stacked = stackedImageCount(layout.imageCount);
  DibOutput out;
  ResultCode result = allocateDib(layout.width, layout.height * stacked, bitsPerPixel, out);
  if (result != ResultCode::Success) return result;

  ByteView records(file.at(static_cast<size_t>(layout.records)),
                   file.size() - static_cast<size_t>(layout.records));
  const size_t bandBytes = out.rowBytes * static_cast<size_t>(layout.height);
  uint64_t position = layout.firstIndex;
  for (int64_t i = 0; i < stacked; ++i) {
    TileBand band{out.bits + static_cast<size_t>(i) * bandBytes,
                  bandBytes,
                  out.rowBytes,
                  layout.width,
                  layout.height,
                  background};
    position = render(band, records, file, position);
    if (position == kBadTiles) {
      discardDib(out);
      return ResultCode::UnknownFormat;
    }
  }
  handOverDib(out, bitmap);
  return ResultCode::Success;
}

}  // namespace quorvel
