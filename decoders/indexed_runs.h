// The run stream of indexed layers with alpha (layered pictures, layer depth 9): 32-bit control
// words, each followed by its pixels, in one of two pixel modes.
#pragma once

#include <cstdint>

#include "decoders/alpha_output.h"
#include "decoders/bytes.h"
#include "decoders/result_code.h"
#include "decoders/run_stream.h"

namespace quorvel {

// A picture's colour table as blue, green, red, fourth byte; entries the file does not give
// are zero, so an index beyond the stored colours reads as black.
struct ColourTable {
  uint8_t entry[256][4] = {};
};

// Control word: bits 0-7 row advance (unsigned), bits 9-18 pixel count, bit 19 mode toggle
// (switches before this run), bits 21-31 column advance (signed). 0xFFFFFFFF ends the layer.
struct IndexedControl {
  int64_t rowAdvance;
  int64_t columnAdvance;
  int64_t count;
  bool toggle;
};
IndexedControl splitIndexedControl(uint32_t word);

// Decodes one layer's stream from the cursor, up to and including its end word, into the target
// (3 bytes per pixel when blended, else 4). The layer starts in alpha mode: two bytes per pixel,
// alpha (low 7 bits) and colour index; in opaque mode one byte, the colour index. Blended, the
// colour is scaled toward black by the alpha (so alpha 0 is black); raw output carries alpha x 2,
// straight output the alpha's opacity (0 transparent); both give 255 in opaque mode.
// UnknownFormat when the stream is cut short or has no end word, or a run would leave the picture.
ResultCode decodeIndexedRuns(ByteCursor& cursor, const PixelTarget& target,
                             const ColourTable& colours, AlphaOutput alpha);

}  // namespace quorvel
