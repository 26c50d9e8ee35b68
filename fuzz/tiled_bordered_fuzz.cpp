// getPicture of TiledBorderedDecoder on hostile bytes; the first byte chooses blending and the
// background.
#include "decoders/tiled_bordered.h"
#include "decoders/tiled_picture_decoder.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return quorvel::fuzz::fuzzDecoder<quorvel::TiledBorderedDecoder>(data, size);
}
