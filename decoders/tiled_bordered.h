// Tiled pictures of type 0x0C: 32-bit pixels with alpha, cut into square tiles. Each cell of an
// image is empty (transparent) or a stored tile record whose pixels carry two extra columns and
// two extra rows that are not part of the picture; one file may hold several images.
//
// The header, 32 bytes: 0x00 imageCount (unsigned 16), 0x02 indexPrefix (0 or 1), 0x04 tileEdge
// (32 bits), 0x08 not read, 0x10 kind 0x0C, 0x12 depth 32, 0x14 width, 0x16 height (signed 16),
// 0x18 not read, 0x1C tilesAcross (unsigned 16), 0x1E tilesDown (one byte), 0x1F not read.
// Then the index table (per image: indexPrefix skipped entries, then one entry per cell) and the
// tile records of (tileEdge + 2)^2 * 4 + 2 bytes (stored width, stored height, pixels).
#pragma once

#include "decoders/bytes.h"
#include "decoders/tiled_family.h"

namespace quorvel {

// Reads and checks the header of a type 0x0C file. imageCount is filled even when the answer is
// false (a count of 0 is one of the reasons).
bool readTiledBorderedLayout(ByteView file, TiledLayout& layout);
// The same from the file's first 32 bytes (head) and its size.
bool readTiledBorderedHeader(ByteView head, uint64_t fileSize, TiledLayout& layout);

// Draw one image (32-bit raw, or 24-bit blended over the band's background) into band, with the
// tile records from records, the header and index table from file, starting at the image's first
// index entry (its skipped one, if any) at indexPosition. Both place every tile in its own cell.
// Answer the position of the entry after the image's last one, or kBadTiles for a file they
// cannot draw; what they wrote so far then stays in the band.
// Draws one tile row of an image into row (the row's height in pixels, the image's width) from
// its tilesAcross index entries and the tile records; false for a row it cannot draw.
bool drawTiledBorderedTileRow(const TileBand& row, const TiledLayout& layout,
                              const TileRecords& records, ByteView entries, bool blended,
                              const uint8_t* background);

uint64_t renderTiledBorderedRaw(const TileBand& band, ByteView records, ByteView file,
                                uint64_t indexPosition);
uint64_t renderTiledBorderedBlended(const TileBand& band, ByteView records, ByteView file,
                                    uint64_t indexPosition);

// The picture size as the header stores it, unchecked (what a listing reports before any check):
// the width, and the height times the images stacked in one bitmap. head holds 32 bytes.
void tiledBorderedStoredSize(ByteView head, int32_t& width, int32_t& stackedHeight);

}  // namespace quorvel
