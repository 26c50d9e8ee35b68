// Tiled pictures (types 0x0B and 0x0C) written to BMP files one band of tile rows at a time,
// without the file or the bitmap ever whole in memory: a band's index entries and the tile
// records they name are read from the file, the band is drawn into a small buffer and written at
// its final place in the bottom-up BMP file (the top band first, at the end of the file). The
// bands are read and, for type 0x0B, drawn in order (a stored tile of width 0 ends its tile row,
// so where a row's entries start depends on the rows above it); type 0x0C bands are drawn side by
// side on the run's spare threads. The bytes written are those of the decoders' whole bitmaps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "convert/worker_budget.h"
#include "decoders/bytes.h"
#include "decoders/result_code.h"
#include "decoders/tiled_family.h"
#include "decoders/tiled_picture_decoder.h"

namespace quorvel {

class FileHandle;

// One tiled file open for reading, or whole in memory, its layout checked against its size.
struct TiledSource {
  FileHandle* file = nullptr;
  ByteView bytes;  // the whole file, when it is in memory (file is null then)
  uint64_t fileSize = 0;
  TiledFamily family = TiledFamily::WithColours;
  TiledLayout layout;
  ByteView colours;  // type 0x0B: the colour table, colourCount entries

  // Reads count bytes at position; false unless all of them arrived.
  bool read(uint64_t position, void* out, uint32_t count) const;
};

// How a band is drawn: blended over the background into 24-bit pixels, or raw 32-bit ones.
struct TiledStyle {
  bool blended = true;
  const uint8_t* background = nullptr;  // blue, green, red
};

// Band size and the size from which spare threads draw bands (tests choose small ones).
struct BandLimits {
  size_t bandBytes = size_t{256} << 10;    // bytes of output rows, at least one tile row
  size_t threadedBytes = size_t{4} << 20;  // bytes of one image's rows
};

struct BandBuffers;

// The buffers bands are made in, kept from one image of a series to the next so that each is
// allocated (and its pages entered) once.
class BandWorkspace {
 public:
  BandWorkspace();
  ~BandWorkspace();
  BandWorkspace(const BandWorkspace&) = delete;
  BandWorkspace& operator=(const BandWorkspace&) = delete;

  BandBuffers& buffers(size_t i);  // made when first asked for

 private:
  std::vector<std::unique_ptr<BandBuffers>> buffers_;
};

// Reads the header of a tiled file (and the colour table of type 0x0B into colours, which must
// outlive source). UnknownFormat for a header the decoders refuse or a picture too large for a
// BMP file, ReadError when the file cannot be read.
ResultCode openTiledSource(FileHandle& file, TiledFamily family, TiledSource& source,
                           std::vector<uint8_t>& colours);

// The same for a file whole in memory (colours then lie in bytes).
ResultCode openTiledSource(ByteView bytes, TiledFamily family, TiledSource& source);

// Writes the image whose index entries start at position as a BMP file at path; position becomes
// the entry after the image's last one. UnknownFormat for tiles the decoders refuse, ReadError,
// WriteError or OutOfMemory otherwise; nothing is left behind when the answer is not Success.
ResultCode writeTiledImageInBands(const char* path, const TiledSource& source,
                                  const TiledStyle& style, uint64_t& position,
                                  WorkerBudget* workers, BandWorkspace* workspace = nullptr,
                                  const BandLimits& limits = {});

// A file holding one image (open, or whole in memory): the image as a BMP file at path.
ResultCode convertTiledInBands(const char* path, FileHandle& file, TiledFamily family,
                               const TiledStyle& style, WorkerBudget* workers,
                               const BandLimits& limits = {});
ResultCode convertTiledInBands(const char* path, ByteView bytes, TiledFamily family,
                               const TiledStyle& style, WorkerBudget* workers,
                               const BandLimits& limits = {});

}  // namespace quorvel
