// What the two tiled picture families (types 0x0B and 0x0C) share: the checked layout of a file,
// the output band one image is drawn into, and the routines that put one tile into a band.
//
// A tiled file holds imageCount images of the same size, each cut into tilesAcross x tilesDown
// square cells of tileEdge pixels (the last column and row may be narrower). A table of signed
// 16-bit index entries says, per cell, whether it is empty, solid (type 0x0B only) or one of the
// fixed-size tile records that follow the whole table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "decoders/bytes.h"
#include "decoders/decoded_bitmap.h"
#include "decoders/result_code.h"

namespace quorvel {

// A file's header, checked against the file: sizes in range, tile counts that cover the picture
// exactly, and an index table (of all images) that lies inside the file.
struct TiledLayout {
  int64_t imageCount = 0;
  int64_t width = 0;
  int64_t height = 0;
  int64_t tileEdge = 0;
  int64_t tilesAcross = 0;
  int64_t tilesDown = 0;
  int64_t indexPrefix = 0;  // leading entries of each image that are skipped (type 0x0C)
  int64_t colourCount = 0;  // entries of the colour table at 0x20 (type 0x0B)
  uint64_t firstIndex = 0;  // position of the first index entry
  uint64_t records = 0;     // position of tile record 1
  uint64_t recordBytes = 0;

  int64_t lastColumnWidth() const { return width - tileEdge * (tilesAcross - 1); }
  int64_t lastRowHeight() const { return height - tileEdge * (tilesDown - 1); }
  uint64_t entriesPerImage() const {
    return static_cast<uint64_t>(indexPrefix + tilesAcross * tilesDown);
  }
};

// Checks what both families require once the fields are read: 1 <= width, height <=
// kMaxDimension, tile counts equal to the cells needed to cover the picture, and the whole index
// table inside the file. Fills firstIndex-dependent fields (records).
bool finishTiledLayout(ByteView file, TiledLayout& layout);
// The same for a file of fileSize bytes that is not in memory.
bool finishTiledLayout(uint64_t fileSize, TiledLayout& layout);

// One image's place in an output block: height rows of rowBytes, bottom-up, starting at bottom.
// size bounds every write.
struct TileBand {
  uint8_t* bottom = nullptr;
  size_t size = 0;
  size_t rowBytes = 0;
  int64_t width = 0;
  int64_t height = 0;
  const uint8_t* background = nullptr;  // blue, green, red: what blended output is drawn over

  // The rows y to y + rows - 1 (from the top) as a band of their own.
  TileBand rowsFrom(int64_t y, int64_t rows) const {
    const size_t below = static_cast<size_t>(height - y - rows) * rowBytes;
    return TileBand{bottom + below, static_cast<size_t>(rows) * rowBytes, rowBytes, width, rows,
                    background};
  }
  uint8_t* pixel(int64_t x, int64_t yFromTop, int bytesPerPixel) const {
    return bottom + static_cast<size_t>(height - 1 - yFromTop) * rowBytes +
           static_cast<size_t>(x) * static_cast<size_t>(bytesPerPixel);
  }
  // True when the band holds a picture of the layout's size at this pixel size.
  bool fits(const TiledLayout& layout, int bytesPerPixel) const;
};

// Where a tile row finds tile record v (numbered from 1): the record's bytes up to the end of
// what is at hand (the file, or the part of it read for some rows), empty when there are none.
struct TileRecords {
  ByteView (*find)(const void* context, int64_t v) = nullptr;
  const void* context = nullptr;

  ByteView operator()(int64_t v) const { return find(context, v); }
};

// The records of a whole file: all of them in one view, record v at (v - 1) x recordBytes.
struct WholeRecords {
  ByteView records;
  uint64_t recordBytes = 0;

  static ByteView find(const void* context, int64_t v);
  TileRecords lookup() const { return TileRecords{find, this}; }
};

// The answer of a renderer that met a tile it cannot draw (an index beyond the records or the
// colour table, a tile size the record cannot hold).
constexpr uint64_t kBadTiles = ~uint64_t{0};

// Writes colour (bytesPerPixel bytes) into the top row of the w x h rectangle at (x, y), then
// copies that row into the rows below. The caller keeps the rectangle inside the band.
inline void fillTile(const TileBand& band, int64_t x, int64_t y, int64_t w, int64_t h,
                     const uint8_t* colour, int bytesPerPixel) {
  if (w <= 0 || h <= 0) return;
  uint8_t* top = band.pixel(x, y, bytesPerPixel);
  uint8_t* p = top;
  for (int64_t i = 0; i < w; ++i, p += bytesPerPixel) std::memcpy(p, colour, bytesPerPixel);
  size_t run = static_cast<size_t>(w) * static_cast<size_t>(bytesPerPixel);
  uint8_t* row = top;
  for (int64_t j = 1; j < h; ++j) {
    row -= band.rowBytes;
    std::memcpy(row, top, run);
  }
}

// Copies w x h stored pixels (4 bytes each, rows sourceStride bytes apart, top row first) to
// (x, y): unchanged in raw mode, blended over the background into 3-byte pixels otherwise.
void copyTileRaw(const TileBand& band, int64_t x, int64_t y, int64_t w, int64_t h,
                 const uint8_t* source, size_t sourceStride);
void copyTileBlended(const TileBand& band, int64_t x, int64_t y, int64_t w, int64_t h,
                     const uint8_t* source, size_t sourceStride, const uint8_t* background);

// The part of a w x h tile at (x, y) that lies inside the band: stored tiles at the right and
// bottom edges may be padded to the full tile edge.
inline int64_t visibleSpan(int64_t start, int64_t span, int64_t limit) {
  return start >= limit ? 0 : (span < limit - start ? span : limit - start);
}

// getPicture stacks at most this many images of a file one above the other.
constexpr int64_t kMaxStackedImages = 8;

inline int64_t stackedImageCount(int64_t imageCount) {
  return imageCount < kMaxStackedImages ? imageCount : kMaxStackedImages;
}

// Draws one image into a band, reading its index entries from position; answers the position of
// the next image's entries, or kBadTiles.
using TileRenderer = uint64_t (*)(const TileBand& band, ByteView records, ByteView file,
                                  uint64_t position);

// getPicture of both families: the first stackedImageCount images of the file drawn one above
// the other (the first at the bottom of the DIB) into a DIB of bitsPerPixel bits, blended output
// over background.
ResultCode decodeStackedImages(ByteView file, const TiledLayout& layout, TileRenderer render,
                               int bitsPerPixel, const uint8_t* background, DecodedBitmap& bitmap);

}  // namespace quorvel
