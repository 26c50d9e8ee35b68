// What converting a picture will take, read from its header before any pixel memory is taken:
// its size in pixels, the bytes of its pixel block, and the memory the conversion holds at once.
// A small file may announce a huge picture (a tiled file of one repeated tile, a run stream of
// few runs); the limit on pixels and the run's memory budget are judged from these figures.
#pragma once

#include <cstdint>
#include <string>

#include "convert/conversion_options.h"
#include "convert/picture_kind.h"

namespace quorvel {

struct PictureNeed {
  int64_t width = 0;
  int64_t height = 0;        // of one image (each image of a series is converted on its own)
  uint64_t blockBytes = 0;   // one image's decoded pixel block
  uint64_t memoryBytes = 0;  // held at once: the file, the block, the writer's buffers
  bool addressable = true;   // false: a pixel block the conversion cannot hold in one piece

  uint64_t pixels() const { return static_cast<uint64_t>(width) * static_cast<uint64_t>(height); }
};

// True when a plain picture goes from its file to a BMP file in slices, without its bitmap ever
// being whole in memory (the conversion then needs only its slice buffers).
bool convertsInSlices(PictureKind kind, const ConversionOptions& options);

// From the first kProbeBytes of a file of fileBytes bytes. False when the header gives no
// positive size or is no picture: the decoder then judges the file as before.
bool probePictureNeed(const uint8_t* probe, uint64_t fileBytes, const ConversionOptions& options,
                      PictureNeed& need);

// Why a picture of this need is refused, as words to follow its name on one line (its size, the
// limit and the switch that converts it anyway), or "" when it may be converted. maxPixels 0: no
// limit on pixels.
std::string pictureRefusal(const PictureNeed& need, uint64_t maxPixels);

}  // namespace quorvel
