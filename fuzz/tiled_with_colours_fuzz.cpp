// getPicture of TiledWithColoursDecoder on hostile bytes; the first byte chooses blending and the
// background.
#include "decoders/tiled_picture_decoder.h"
#include "decoders/tiled_with_colours.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return quorvel::fuzz::fuzzDecoder<quorvel::TiledWithColoursDecoder>(data, size);
}
