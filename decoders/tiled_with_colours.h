// Tiled pictures of type 0x0B: 32-bit pixels with alpha, cut into square tiles of 16 or 32
// pixels. Each cell of an image is empty (transparent), solid (one colour of the colour table) or
// a stored tile record; one file may hold several images of the same size.
//
// The header, 32 bytes: 0x00 imageCount (signed 32), 0x04 tileEdge (16), 0x06 colourCount
// (unsigned 16), 0x08 not read, 0x10 kind 0x0B, 0x12 depth 32, 0x14 width, 0x18 height (signed
// 32), 0x1C tilesAcross, 0x1E tilesDown (unsigned 16). Then the colour table (4 bytes blue,
// green, red, alpha per entry), the index table of all images, and the tile records of
// tileEdge^2 * 4 + 2 bytes (width, height, pixels), numbered from 1.
#pragma once

#include "decoders/bytes.h"
#include "decoders/tiled_family.h"

namespace quorvel {

// Reads and checks the header of a type 0x0B file. imageCount is filled even when the answer is
// false (a count below 1 is one of the reasons).
bool readTiledWithColoursLayout(ByteView file, TiledLayout& layout);
// The same from the file's first 32 bytes (head) and its size.
bool readTiledWithColoursHeader(ByteView head, uint64_t fileSize, TiledLayout& layout);

// Draw one image (32-bit raw, or 24-bit blended over the band's background) into band, with the
// tile records from records, the header (and colour table and index table) from file, starting at
// the index entry at indexPosition. Answer the position of the entry after the last one taken, or
// kBadTiles for a file they cannot draw; what they wrote so far then stays in the band.
// Draws one tile row of an image into row (the row's height in pixels, the image's width), from
// its index entries onward (at least tilesAcross of them), the colour table (colourCount entries)
// and the tile records. Answers the entries the row took (fewer than tilesAcross when a stored
// tile of width 0 ends it), or -1 for a row it cannot draw.
int64_t drawTiledWithColoursTileRow(const TileBand& row, const TiledLayout& layout,
                                    const TileRecords& records, ByteView colours, ByteView entries,
                                    bool blended, const uint8_t* background);

uint64_t renderTiledWithColoursRaw(const TileBand& band, ByteView records, ByteView file,
                                   uint64_t indexPosition);
uint64_t renderTiledWithColoursBlended(const TileBand& band, ByteView records, ByteView file,
                                       uint64_t indexPosition);

// The picture size as the header stores it, unchecked (what a listing reports before any check):
// the width, and the height times the images stacked in one bitmap. head holds 32 bytes.
void tiledWithColoursStoredSize(ByteView head, int32_t& width, int32_t& stackedHeight);

}  // namespace quorvel
