// What a conversion asks of the decoders: whether pictures with alpha are blended over a
// background (24-bit output) or kept raw (32-bit), and that background. Every decoding call takes
// one explicitly, so that conversions running side by side may ask for different output.
#pragma once

#include <cstdint>

namespace quorvel {

struct DecodeOptions {
  bool blend = true;                       // false with the raw switch: alpha pictures stay 32-bit
  uint8_t background[4] = {0, 255, 0, 0};  // blue, green, red, unused: pure green
};

}  // namespace quorvel
