// getPicture of SpiPx0B on hostile bytes; the first byte chooses blending and the background.
#include "decoders/spi_px0b.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return quorvel::fuzz::fuzzDecoder<quorvel::SpiPx0B>(data, size);
}
