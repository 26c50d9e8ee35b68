#include "tools/writer/tiled_writer.h"

#include <algorithm>
#include <cstring>

namespace quorvel::writer {

namespace {

constexpr uint8_t kFiller = 0xA5;  // unused header bytes, skipped entries, extra tile pixels

uint64_t recordBytes(const TiledFile& file) {
  uint64_t stored = file.family == TiledFamily::WithColours ? file.tileEdge : file.tileEdge + 2;
  return stored * stored * 4 + 2;
}

void writeHeader(ByteWriter& out, const TiledFile& file, uint32_t count) {
  if (file.family == TiledFamily::WithColours) {
    out.u32(count).u16(file.tileEdge).u16(static_cast<uint32_t>(file.colours.size()));
    out.raw(Bytes(8, kFiller)).u16(0x0B).u16(32);
    out.u32(static_cast<uint32_t>(file.width)).u32(static_cast<uint32_t>(file.height));
    out.u16(file.tilesAcross).u16(file.tilesDown);
  } else {
    out.u16(count).u16(file.indexPrefix).u32(file.tileEdge);
    out.raw(Bytes(8, kFiller)).u16(0x0C).u16(32);
    out.u16(static_cast<uint32_t>(file.width)).u16(static_cast<uint32_t>(file.height));
    out.raw(Bytes(4, kFiller)).u16(file.tilesAcross).u8(file.tilesDown).u8(kFiller);
  }
}

void writeRecord(ByteWriter& out, const TiledFile& file, const TileRecord& record) {
  size_t start = out.size();
  if (file.family == TiledFamily::WithColours) {
    out.u8(record.width).u8(record.height).raw(record.pixels);
  } else {
    size_t rowBytes = size_t{record.width} * 4;
    // Hostile test records may claim more pixels than they carry: the rest are zero.
    Bytes pixels = record.pixels;
    pixels.resize(rowBytes * record.height);
    out.u8(record.width + 2).u8(record.height + 2);
    for (size_t row = 0; row < record.height; ++row) {
      out.raw(Bytes(pixels.begin() + row * rowBytes, pixels.begin() + (row + 1) * rowBytes));
      out.raw(Bytes(8, kFiller));
    }
    out.raw(Bytes((size_t{record.width} + 2) * 4 * 2, kFiller));
  }
  size_t used = out.size() - start;
  if (used < recordBytes(file)) out.zeros(recordBytes(file) - used);
}

// The cell at (column, row) of a picture, its pixels top row first.
Bytes cutCell(const Picture& picture, int32_t x, int32_t y, int32_t w, int32_t h) {
  Bytes cell;
  for (int32_t j = 0; j < h; ++j) {
    auto from = picture.pixels.begin() + (size_t(y + j) * picture.width + x) * 4;
    cell.insert(cell.end(), from, from + size_t(w) * 4);
  }
  return cell;
}

}  // namespace

Bytes writeTiled(const TiledFile& file) {
  ByteWriter out;
  uint32_t count =
      static_cast<uint32_t>(file.imageCount.value_or(static_cast<int64_t>(file.images.size())));
  writeHeader(out, file, count);
  if (file.family == TiledFamily::WithColours) {
    for (uint32_t colour : file.colours) out.u32(colour);
  }
  for (const auto& image : file.images) {
    for (int i = 0; i < file.indexPrefix; ++i) out.u8(kFiller).u8(kFiller);
    for (int16_t entry : image) out.u16(static_cast<uint16_t>(entry));
  }
  for (const TileRecord& record : file.records) writeRecord(out, file, record);
  return out.take();
}

TiledFile tilePictures(TiledFamily family, uint32_t tileEdge,
                       const std::vector<Picture>& pictures) {
  TiledFile file;
  file.family = family;
  file.tileEdge = tileEdge;
  file.width = pictures.front().width;
  file.height = pictures.front().height;
  const int32_t edge = static_cast<int32_t>(tileEdge);
  file.tilesAcross = static_cast<uint32_t>((file.width + edge - 1) / edge);
  file.tilesDown = static_cast<uint32_t>((file.height + edge - 1) / edge);
  for (const Picture& picture : pictures) {
    std::vector<int16_t> entries;
    for (int32_t y = 0; y < file.height; y += edge) {
      for (int32_t x = 0; x < file.width; x += edge) {
        int32_t w = std::min(edge, file.width - x);
        int32_t h = std::min(edge, file.height - y);
        Bytes cell = cutCell(picture, x, y, w, h);
        if (std::all_of(cell.begin(), cell.end(), [](uint8_t b) { return b == 0; })) {
          entries.push_back(0);
          continue;
        }
        bool oneColour = true;
        for (size_t i = 4; i < cell.size() && oneColour; i += 4) {
          oneColour = std::memcmp(cell.data(), cell.data() + i, 4) == 0;
        }
        if (family == TiledFamily::WithColours && oneColour) {
          uint32_t colour = cell[0] | cell[1] << 8 | cell[2] << 16 | uint32_t(cell[3]) << 24;
          auto found = std::find(file.colours.begin(), file.colours.end(), colour);
          if (found == file.colours.end()) found = file.colours.insert(found, colour);
          entries.push_back(static_cast<int16_t>(-(found - file.colours.begin()) - 1));
          continue;
        }
        file.records.push_back({static_cast<uint8_t>(w), static_cast<uint8_t>(h), cell});
        entries.push_back(static_cast<int16_t>(file.records.size()));
      }
    }
    file.images.push_back(entries);
  }
  return file;
}

}  // namespace quorvel::writer

namespace quorvel::writer {

namespace {

void paint(Picture& p, int x0, int y0, int w, int h, uint32_t bgra) {
  for (int y = y0; y < y0 + h; ++y) {
    for (int x = x0; x < x0 + w; ++x) {
      for (int k = 0; k < 4; ++k)
        p.pixels[(size_t(y) * p.width + x) * 4 + k] = uint8_t(bgra >> (8 * k));
    }
  }
}

// A soft disc whose alpha falls off toward its rim, over a transparent field.
void paintDisc(Picture& p, int cx, int cy, int radius, int hue) {
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      int d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
      if (d2 >= radius * radius) continue;
      uint32_t alpha = 255 - uint32_t(d2 * 255 / (radius * radius));
      uint32_t colour = uint32_t((x * 9 + hue) & 255) | uint32_t((y * 11) & 255) << 8 |
                        uint32_t((hue * 3 + 128) & 255) << 16 | alpha << 24;
      paint(p, x, y, 1, 1, colour);
    }
  }
}

Picture blank(int width, int height) {
  return Picture{width, height, Bytes(size_t(width) * height * 4)};
}

}  // namespace

Bytes sampleTiles0B() {
  Picture p = blank(56, 40);
  paint(p, 16, 0, 16, 16, 0xFFD02020u);  // opaque red
  paint(p, 32, 0, 16, 16, 0x802040E0u);  // half-transparent blue
  paint(p, 48, 16, 8, 16, 0xFF20B040u);  // opaque green, the narrow last column
  paint(p, 0, 32, 16, 8, 0x40FFFFFFu);   // faint white, the low last row
  paintDisc(p, 12, 24, 11, 40);          // stored tiles across two rows
  return writeTiled(tilePictures(TiledFamily::WithColours, 16, {p}));
}

Bytes sampleTiles0C() {
  Picture p = blank(40, 24);
  paintDisc(p, 20, 12, 12, 90);
  TiledFile file = tilePictures(TiledFamily::Bordered, 16, {p});
  file.indexPrefix = 1;
  return writeTiled(file);
}

Bytes sampleSeries0B() {
  std::vector<Picture> frames;
  for (int i = 0; i < 3; ++i) {
    Picture p = blank(32, 16);
    paint(p, 16, 0, 16, 16, 0xFF3060C0u + uint32_t(i) * 0x20);
    paintDisc(p, 6 + 2 * i, 8, 7, 60 * i);
    frames.push_back(p);
  }
  return writeTiled(tilePictures(TiledFamily::WithColours, 16, frames));
}

}  // namespace quorvel::writer
