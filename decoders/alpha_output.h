// How a decoder writes the pixels of a picture whose format carries alpha. getPicture writes what
// its DecodeOptions ask for (Blended, or Raw with the raw switch); the decoding entries beside it
// take the choice explicitly, Straight included.
#pragma once

#include <cstdint>

#include "decoders/decode_options.h"

namespace quorvel {

enum class AlphaOutput {
  Blended,   // 24-bit: the alpha applied to the colours as the format does
  Raw,       // 32-bit: the fourth byte as the format's raw output has it
  Straight,  // 32-bit: the fourth byte is the opacity, 0 transparent to 255 opaque, over the
             // stored (not premultiplied) colours; pixels nothing covers are transparent
};

inline AlphaOutput alphaOutputOf(const DecodeOptions& options) {
  return options.blend ? AlphaOutput::Blended : AlphaOutput::Raw;
}

// The 7-bit alphas of layered and run-stream pictures scale colours by a / 128 toward black:
// a / 128 is their opacity, here to the nearest 8-bit value (1 gives 2, 64 gives 128, 127 gives
// 253). Which stored values mean opaque or transparent differs by pixel kind; see the callers.
constexpr uint8_t opacityOfSevenBitAlpha(unsigned alpha) {
  return static_cast<uint8_t>((alpha * 255 + 64) >> 7);
}

}  // namespace quorvel
