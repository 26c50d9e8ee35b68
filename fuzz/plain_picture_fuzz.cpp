// getPicture of PlainPictureDecoder on hostile bytes; the first byte chooses blending and the
// background.
#include "decoders/plain_picture.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return quorvel::fuzz::fuzzDecoder<quorvel::PlainPictureDecoder>(data, size);
}
