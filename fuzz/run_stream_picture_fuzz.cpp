// getPicture of RunStreamPictureDecoder on hostile bytes; the first byte chooses blending and the
// background.
#include "decoders/run_stream_picture.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return quorvel::fuzz::fuzzDecoder<quorvel::RunStreamPictureDecoder>(data, size);
}
