// Builds layered pictures: kind 64 (direct-colour layers) or kind 68 (a colour table, then
// indexed layers of depth 8 or 9).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "tools/writer/byte_writer.h"
#include "tools/writer/run_stream_writer.h"

namespace quorvel::writer {

// A run of a depth-9 layer: control word and pixels (alpha, index pairs in alpha mode, indexes
// in opaque mode).
struct IndexedRun {
  int rowAdvance = 0;     // 0..255
  int columnAdvance = 0;  // -1024..1023
  bool toggle = false;    // switch the pixel mode before this run
  Bytes pixels;
  // Count field; by default the pixels in the current mode.
  std::optional<int> count;
  // The whole control word as given, instead of the fields above.
  std::optional<uint32_t> word;
};

struct Px40Layer {
  int32_t width = 0;
  int32_t height = 0;
  int32_t x = 0;
  int32_t y = 0;
  uint16_t depth = 32;
  std::vector<DirectRun> runs;          // depth 8, 16, 24, 32
  std::vector<IndexedRun> indexedRuns;  // depth 9
  bool terminate = true;                // end the stream with 0xFFFFFFFF
};

struct Px40Picture {
  uint16_t kind = 64;
  int32_t canvasWidth = 0;
  int32_t canvasHeight = 0;
  Bytes colours;                        // 4 bytes per colour (kind 68)
  std::optional<uint32_t> colourCount;  // by default colours.size() / 4
  std::vector<Px40Layer> layers;
  // By default the layers plus the colour-table entry of kind 68.
  std::optional<uint32_t> entryCount;
  Bytes trailing;  // appended after the last layer
};

Bytes buildPx40(const Px40Picture& picture);

// A direct-colour layer whose runs cover every pixel of a top-down image (depth / 8 bytes per
// pixel) that is not all zero bytes.
Px40Layer directLayerFromImage(int32_t x, int32_t y, int32_t width, int32_t height, uint16_t depth,
                               const Bytes& image);

// One pixel of a depth-9 image: not covered by any run, or a colour index in alpha mode (with
// its 7-bit alpha) or in opaque mode.
struct IndexedPixel {
  bool covered = false;
  bool opaque = false;
  uint8_t alpha = 0;
  uint8_t index = 0;
};

// Runs covering the covered pixels of a top-down depth-9 image: one run per stretch of a row in
// one mode, toggling the mode where it changes; advances beyond one control word (rows above
// 255, columns outside -1024..1023) go in runs without pixels, runs above 1023 pixels are split.
std::vector<IndexedRun> indexedRunsFromImage(const std::vector<IndexedPixel>& image, int width,
                                             int height);

// The control word of a depth-9 run.
uint32_t indexedControlWord(int rowAdvance, int columnAdvance, bool toggle, int count);

}  // namespace quorvel::writer
