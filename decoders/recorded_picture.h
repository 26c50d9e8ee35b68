// A run-stream or layered picture whose runs have been found but not drawn: each layer's place on
// the canvas and its runs in order. Any band of rows can then be drawn on its own, so that the
// bitmap is made a few rows at a time where the BMP file is written, never whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "decoders/bytes.h"
#include "decoders/dib.h"
#include "decoders/run_stream.h"

namespace quorvel {

struct RecordedLayer {
  int64_t x = 0, y = 0;           // the layer's top-left pixel on the canvas
  int64_t width = 0, height = 0;  // the layer's size; its runs are laid out over all of it
  DirectPixels pixels = DirectPixels::Copy;
  RecordedRuns runs;  // ordered
};

struct RecordedPicture {
  ByteView file;                      // the picture file, read whole; the runs are drawn from it
  BitmapInfoHeader header{};          // of the bitmap the whole-picture decoder makes
  std::vector<RecordedLayer> layers;  // in drawing order: a layer replaces all it covers
  // False when the picture cannot be drawn by bands (a run stream moves backwards, or the kind
  // is not recorded); then the whole-picture decoder draws it.
  bool drawable = false;
};

// Makes `count` rows of the bottom-up bits block, from row `first` on, into out (rowBytes apart,
// padding included): the same bytes as those rows of the whole-picture decoder's bitmap. Pixels
// no layer covers are zero.
void drawRecordedRows(const RecordedPicture& picture, size_t first, size_t count, uint8_t* out);

}  // namespace quorvel
