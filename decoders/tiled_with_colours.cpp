#include "decoders/tiled_with_colours.h"

#include <cstring>

#include "decoders/dib.h"

namespace quorvel {

namespace {

constexpr size_t kHeaderBytes = 32;

// Solid tile colour in blended mode: blendChannel for every alpha, 0 and 255 included.
void blendedSolid(const uint8_t* entry, const uint8_t* background, uint8_t* colour) {
  for (int k = 0; k < 3; ++k) colour[k] = blendChannel(entry[k], background[k], entry[3]);
}

// One tile row, cells from the left. A stored tile moves the drawing position right by its own
// width; a stored tile of width 0 ends the row, and the entries the row did not take belong to the
// next row. Answers the entries taken, or -1 for a tile it cannot draw.
template <bool kBlended>
int64_t drawTiledWithColoursRow(const TileBand& row, const TiledLayout& layout,
                                const TileRecords& records, const uint8_t* colours,
                                ByteView entries, const uint8_t* background) {
  constexpr int kPixelBytes = kBlended ? 3 : 4;
  const int64_t edge = layout.tileEdge;
  if (!entries.contains(0, 2 * static_cast<uint64_t>(layout.tilesAcross))) return -1;
  int64_t x = 0;
  for (int64_t column = 0; column < layout.tilesAcross; ++column) {
    const int v = entries.i16(static_cast<size_t>(2 * column));
    const int64_t cellWidth = column + 1 == layout.tilesAcross ? layout.lastColumnWidth() : edge;
    if (v > 0) {
      const ByteView record = records(v);
      if (!record.contains(0, 2)) return -1;
      const int64_t w = record.at(0)[0];
      const int64_t h = record.at(0)[1];
      if (w == 0) return column + 1;
      if (w > edge || h > edge) return -1;
      if (!record.contains(2, static_cast<uint64_t>(w * h * 4))) return -1;
      const int64_t visibleW = visibleSpan(x, w, layout.width);
      const int64_t visibleH = visibleSpan(0, h, row.height);
      if constexpr (kBlended) {
        copyTileBlended(row, x, 0, visibleW, visibleH, record.at(2), w * 4, background);
      } else {
        copyTileRaw(row, x, 0, visibleW, visibleH, record.at(2), w * 4);
      }
      x += w;
      continue;
    }
    uint8_t colour[4];
    if (v < 0) {
      const int64_t entry = -static_cast<int64_t>(v) - 1;
      if (entry >= layout.colourCount) return -1;
      const uint8_t* stored = colours + entry * 4;
      if constexpr (kBlended) {
        blendedSolid(stored, background, colour);
      } else {
        std::memcpy(colour, stored, 4);
      }
    } else if constexpr (kBlended) {
      std::memcpy(colour, background, 3);
    } else {
      x += edge;  // empty: transparent, nothing written
      continue;
    }
    fillTile(row, x, 0, visibleSpan(x, cellWidth, layout.width), row.height, colour, kPixelBytes);
    x += kBlended ? cellWidth : edge;
  }
  return layout.tilesAcross;
}

// The walk both renderers share: tile rows from the top, each starting with the entry after the
// last one the row above took.
template <bool kBlended>
uint64_t renderTiledWithColours(const TileBand& band, ByteView records, ByteView file,
                                uint64_t position) {
  constexpr int kPixelBytes = kBlended ? 3 : 4;
  TiledLayout layout;
  if (!readTiledWithColoursLayout(file, layout) || !band.fits(layout, kPixelBytes))
    return kBadTiles;
  const int64_t edge = layout.tileEdge;
  if (!file.contains(position, 2 * layout.entriesPerImage())) return kBadTiles;
  const uint8_t* background = band.background;
  const WholeRecords whole{records, layout.recordBytes};
  const uint8_t* colours = file.at(kHeaderBytes);

  for (int64_t row = 0, y = 0; row < layout.tilesDown; ++row, y += edge) {
    const int64_t cellHeight = row + 1 == layout.tilesDown ? layout.lastRowHeight() : edge;
    const ByteView entries(file.at(static_cast<size_t>(position)), file.size() - position);
    const int64_t taken = drawTiledWithColoursRow<kBlended>(
        band.rowsFrom(y, cellHeight), layout, whole.lookup(), colours, entries, background);
    if (taken < 0) return kBadTiles;
    position += 2 * static_cast<uint64_t>(taken);
  }
  return position;
}

}  // namespace

bool readTiledWithColoursLayout(ByteView file, TiledLayout& layout) {
  return readTiledWithColoursHeader(file, file.size(), layout);
}

bool readTiledWithColoursHeader(ByteView file, uint64_t fileSize, TiledLayout& layout) {
  layout = TiledLayout{};
  if (file.size() < kHeaderBytes) return false;
  layout.imageCount = file.i32(0x00);
  layout.tileEdge = file.i16(0x04);
  layout.colourCount = file.u16(0x06);
  layout.width = file.i32(0x14);
  layout.height = file.i32(0x18);
  layout.tilesAcross = file.u16(0x1C);
  layout.tilesDown = file.u16(0x1E);
  // The pixels are 32-bit with alpha and the tiles 16 or 32 pixels square, as detection requires.
  if (file.u16(0x12) != 32 || (layout.tileEdge != 16 && layout.tileEdge != 32)) return false;
  layout.firstIndex = kHeaderBytes + 4 * static_cast<uint64_t>(layout.colourCount);
  layout.recordBytes = static_cast<uint64_t>(layout.tileEdge * layout.tileEdge * 4 + 2);
  return finishTiledLayout(fileSize, layout);
}

int64_t drawTiledWithColoursTileRow(const TileBand& row, const TiledLayout& layout,
                                    const TileRecords& records, ByteView colours, ByteView entries,
                                    bool blended, const uint8_t* background) {
  if (!colours.contains(0, 4 * static_cast<uint64_t>(layout.colourCount))) return -1;
  return blended ? drawTiledWithColoursRow<true>(row, layout, records, colours.data(), entries,
                                                 background)
                 : drawTiledWithColoursRow<false>(row, layout, records, colours.data(), entries,
                                                  background);
}

uint64_t renderTiledWithColoursRaw(const TileBand& band, ByteView records, ByteView file,
                                   uint64_t indexPosition) {
  return renderTiledWithColours<false>(band, records, file, indexPosition);
}

uint64_t renderTiledWithColoursBlended(const TileBand& band, ByteView records, ByteView file,
                                       uint64_t indexPosition) {
  return renderTiledWithColours<true>(band, records, file, indexPosition);
}

void tiledWithColoursStoredSize(ByteView head, int32_t& width, int32_t& stackedHeight) {
  width = head.i32(0x14);
  // Header values as stored, unchecked; the product wraps like the 32-bit field it fills.
  const int64_t height = int64_t{head.i32(0x18)} * stackedImageCount(head.i32(0x00));
  stackedHeight = static_cast<int32_t>(static_cast<uint32_t>(height));
}

}  // namespace quorvel
