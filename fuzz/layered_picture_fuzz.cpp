// getPicture of LayeredPictureDecoder on hostile bytes; the first byte chooses blending and the
// background. getPictureInfo must tell the depth of the bitmap made (it walks the layers when 24-
// and 32-bit layers may be mixed).
#include "decoders/layered_picture.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return quorvel::fuzz::fuzzDecoder<quorvel::LayeredPictureDecoder>(data, size, true);
}
