// Writer of tiled picture files (types 0x0B and 0x0C) for tests and samples: a low-level form
// that writes index entries and tile records as given (hostile files included), and a cutter
// that turns whole pictures into tiles.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "tools/writer/byte_writer.h"

namespace quorvel::writer {

enum class TiledFamily { WithColours, Bordered };

// One tile record: the tile's width and height and its width x height pixels (blue, green, red,
// alpha), top row first. Type 0x0C stores width + 2 and height + 2 and two extra pixels per row
// and two extra rows, which the writer fills with a filler colour.
struct TileRecord {
  uint8_t width = 0;
  uint8_t height = 0;
  Bytes pixels;
};

struct TiledFile {
  TiledFamily family = TiledFamily::WithColours;
  std::optional<int64_t> imageCount;  // written as is; by default images.size()
  uint32_t tileEdge = 16;
  int32_t width = 0;
  int32_t height = 0;
  uint32_t tilesAcross = 0;
  uint32_t tilesDown = 0;
  uint16_t indexPrefix = 0;       // type 0x0C: leading entries per image (written as filler)
  std::vector<uint32_t> colours;  // type 0x0B: blue | green << 8 | red << 16 | alpha << 24
  std::vector<std::vector<int16_t>> images;  // index entries of each image's cells
  std::vector<TileRecord> records;           // record 1 first; each padded to the fixed record size
};

// The bytes of the file. Header bytes the format leaves unused hold filler, not zeros.
Bytes writeTiled(const TiledFile& file);

// A picture of width x height pixels (blue, green, red, alpha), top row first.
struct Picture {
  int32_t width = 0;
  int32_t height = 0;
  Bytes pixels;
};

// Cuts pictures of one size into tiles of the given edge: all-zero cells become empty tiles, in
// type 0x0B one-colour cells become solid tiles, every other cell a stored tile of the cell's size
// (narrower in the last column, lower in the last row).
TiledFile tilePictures(TiledFamily family, uint32_t tileEdge, const std::vector<Picture>& pictures);

}  // namespace quorvel::writer

namespace quorvel::writer {

// The bundled samples: tiles0b.px (one 56 x 40 image in tiles of 16: empty, solid and stored
// tiles, partial last column and row), tiles0c.px (one 40 x 24 image, index prefix 1) and
// series0b.px (three 32 x 16 images).
Bytes sampleTiles0B();
Bytes sampleTiles0C();
Bytes sampleSeries0B();

}  // namespace quorvel::writer
