#include "decoders/tiled_bordered.h"

#include "decoders/dib.h"

namespace quorvel {

namespace {

constexpr size_t kHeaderBytes = 32;
// A stored size (tile size plus 2) is one byte, so no stored tile is wider or higher than this.
constexpr int64_t kMaxTileEdge = 253;

// One tile row, cells from the left, every tile in its own cell. Stored tiles are the first w
// pixels of the first h rows of w + 2 stored pixels. False for a tile it cannot draw.
template <bool kBlended>
bool drawTiledBorderedRow(const TileBand& row, const TiledLayout& layout,
                          const TileRecords& records, ByteView entries, const uint8_t* background) {
  constexpr int kPixelBytes = kBlended ? 3 : 4;
  const int64_t edge = layout.tileEdge;
  if (!entries.contains(0, 2 * static_cast<uint64_t>(layout.tilesAcross))) return false;
  for (int64_t column = 0, x = 0; column < layout.tilesAcross; ++column, x += edge) {
    const int v = entries.i16(static_cast<size_t>(2 * column));
    if (v == 0) {
      if constexpr (kBlended) {
        const int64_t cellWidth =
            column + 1 == layout.tilesAcross ? layout.lastColumnWidth() : edge;
        fillTile(row, x, 0, cellWidth, row.height, background, kPixelBytes);
      }
      continue;
    }
    if (v < 0) return false;
    const ByteView record = records(v);
    if (!record.contains(0, 2)) return false;
    const int64_t storedWidth = record.at(0)[0];
    const int64_t storedHeight = record.at(0)[1];
    if (storedWidth < 2 || storedWidth > edge + 2 || storedHeight < 2 || storedHeight > edge + 2) {
      return false;
    }
    const int64_t w = storedWidth - 2;
    const int64_t h = storedHeight - 2;
    const uint64_t stride = static_cast<uint64_t>(storedWidth) * 4;
    const uint64_t used = h == 0 ? 0 : (h - 1) * stride + w * 4;
    if (!record.contains(2, used)) return false;
    const int64_t visibleW = visibleSpan(x, w, layout.width);
    const int64_t visibleH = visibleSpan(0, h, row.height);
    if constexpr (kBlended) {
      copyTileBlended(row, x, 0, visibleW, visibleH, record.at(2), stride, background);
    } else {
      copyTileRaw(row, x, 0, visibleW, visibleH, record.at(2), stride);
    }
  }
  return true;
}

// The walk both renderers share: tile rows from the top.
template <bool kBlended>
uint64_t renderTiledBordered(const TileBand& band, ByteView records, ByteView file,
                             uint64_t position) {
  constexpr int kPixelBytes = kBlended ? 3 : 4;
  TiledLayout layout;
  if (!readTiledBorderedLayout(file, layout) || !band.fits(layout, kPixelBytes)) return kBadTiles;
  const int64_t edge = layout.tileEdge;
  if (!file.contains(position, 2 * layout.entriesPerImage())) return kBadTiles;
  position += 2 * static_cast<uint64_t>(layout.indexPrefix);
  const uint8_t* background = band.background;
  const WholeRecords whole{records, layout.recordBytes};

  for (int64_t row = 0, y = 0; row < layout.tilesDown; ++row, y += edge) {
    const int64_t cellHeight = row + 1 == layout.tilesDown ? layout.lastRowHeight() : edge;
    const ByteView entries(file.at(static_cast<size_t>(position)), file.size() - position);
    if (!drawTiledBorderedRow<kBlended>(band.rowsFrom(y, cellHeight), layout, whole.lookup(),
                                        entries, background)) {
      return kBadTiles;
    }
    position += 2 * static_cast<uint64_t>(layout.tilesAcross);
  }
  return position;
}

}  // namespace

bool readTiledBorderedLayout(ByteView file, TiledLayout& layout) {
  return readTiledBorderedHeader(file, file.size(), layout);
}

bool readTiledBorderedHeader(ByteView file, uint64_t fileSize, TiledLayout& layout) {
  layout = TiledLayout{};
  if (file.size() < kHeaderBytes) return false;
  layout.imageCount = file.u16(0x00);
  layout.indexPrefix = file.u16(0x02);
  layout.tileEdge = file.u32(0x04);
  layout.width = file.i16(0x14);
  layout.height = file.i16(0x16);
  layout.tilesAcross = file.u16(0x1C);
  layout.tilesDown = file.at(0x1E)[0];
  if (file.u16(0x12) != 32 || layout.indexPrefix > 1 || layout.tileEdge > kMaxTileEdge) {
    return false;
  }
  layout.firstIndex = kHeaderBytes;
  layout.recordBytes = static_cast<uint64_t>((layout.tileEdge + 2) * (layout.tileEdge + 2) * 4 + 2);
  return finishTiledLayout(fileSize, layout);
}

bool drawTiledBorderedTileRow(const TileBand& row, const TiledLayout& layout,
                              const TileRecords& records, ByteView entries, bool blended,
                              const uint8_t* background) {
  return blended ? drawTiledBorderedRow<true>(row, layout, records, entries, background)
                 : drawTiledBorderedRow<false>(row, layout, records, entries, background);
}

uint64_t renderTiledBorderedRaw(const TileBand& band, ByteView records, ByteView file,
                                uint64_t indexPosition) {
  return renderTiledBordered<false>(band, records, file, indexPosition);
}

uint64_t renderTiledBorderedBlended(const TileBand& band, ByteView records, ByteView file,
                                    uint64_t indexPosition) {
  return renderTiledBordered<true>(band, records, file, indexPosition);
}

void tiledBorderedStoredSize(ByteView head, int32_t& width, int32_t& stackedHeight) {
  width = head.i16(0x14);
  stackedHeight = static_cast<int32_t>(head.i16(0x16) * stackedImageCount(head.u16(0x00)));
}

}  // namespace quorvel
