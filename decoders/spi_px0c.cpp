#include "decoders/spi_px0c.h"

#include "decoders/dib.h"

namespace quorvel {

namespace {

constexpr size_t kHeaderBytes = 32;
// A stored size (tile size plus 2) is one byte, so no stored tile is wider or higher than this.
constexpr int64_t kMaxTileEdge = 253;

// One tile row, cells from the left, every tile in its own cell. Stored tiles are the first w
// pixels of the first h rows of w + 2 stored pixels. False for a tile it cannot draw.
template <bool kBlended>
bool drawPx0CRow(const TileBand& row, const TiledLayout& layout, const TileRecords& records,
                 ByteView entries, const uint8_t* background) {
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
uint64_t renderPx0C(const TileBand& band, ByteView records, ByteView file, uint64_t position) {
  constexpr int kPixelBytes = kBlended ? 3 : 4;
  TiledLayout layout;
  if (!readPx0CLayout(file, layout) || !band.fits(layout, kPixelBytes)) return kBadTiles;
  const int64_t edge = layout.tileEdge;
  if (!file.contains(position, 2 * layout.entriesPerImage())) return kBadTiles;
  position += 2 * static_cast<uint64_t>(layout.indexPrefix);
  const uint8_t* background = band.background;
  const WholeRecords whole{records, layout.recordBytes};

  for (int64_t row = 0, y = 0; row < layout.tilesDown; ++row, y += edge) {
    const int64_t cellHeight = row + 1 == layout.tilesDown ? layout.lastRowHeight() : edge;
    const ByteView entries(file.at(static_cast<size_t>(position)), file.size() - position);
    if (!drawPx0CRow<kBlended>(band.rowsFrom(y, cellHeight), layout, whole.lookup(), entries,
                               background)) {
      return kBadTiles;
    }
    position += 2 * static_cast<uint64_t>(layout.tilesAcross);
  }
  return position;
}

}  // namespace

bool readPx0CLayout(ByteView file, TiledLayout& layout) {
  return readPx0CHeader(file, file.size(), layout);
}

bool readPx0CHeader(ByteView file, uint64_t fileSize, TiledLayout& layout) {
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

bool drawPx0CTileRow(const TileBand& row, const TiledLayout& layout, const TileRecords& records,
                     ByteView entries, bool blended, const uint8_t* background) {
  return blended ? drawPx0CRow<true>(row, layout, records, entries, background)
                 : drawPx0CRow<false>(row, layout, records, entries, background);
}

uint64_t renderPx0CRaw(const TileBand& band, ByteView records, ByteView file,
                       uint64_t indexPosition) {
  return renderPx0C<false>(band, records, file, indexPosition);
}

uint64_t renderPx0CBlended(const TileBand& band, ByteView records, ByteView file,
                           uint64_t indexPosition) {
  return renderPx0C<true>(band, records, file, indexPosition);
}

ResultCode SpiPx0C::getPictureInfo(const uint8_t* buffer, uint32_t length,
                                   const DecodeOptions& options, PictureInfo* info) {
  if (length < kHeaderBytes) return ResultCode::UnknownFormat;
  ByteView file(buffer, length);
  int16_t depth = file.i16(0x12);
  *info = PictureInfo{};
  info->width = file.i16(0x14);
  info->height = static_cast<int32_t>(file.i16(0x16) * stackedImageCount(file.u16(0x00)));
  info->bitDepth = static_cast<int16_t>(depth == 32 && options.blend ? 24 : depth);
  return ResultCode::Success;
}

ResultCode SpiPx0C::getPicture(const uint8_t* buffer, uint32_t length, const DecodeOptions& options,
                               MemHandle* infoOut, MemHandle* bitsOut) {
  ByteView file(buffer, length);
  TiledLayout layout;
  if (buffer == nullptr || !readPx0CLayout(file, layout)) return ResultCode::UnknownFormat;
  const bool blended = options.blend;
  return decodeStackedImages(file, layout, blended ? renderPx0CBlended : renderPx0CRaw,
                             blended ? 24 : 32, options.background, infoOut, bitsOut);
}

}  // namespace quorvel
