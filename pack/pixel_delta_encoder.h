// The forward pixel delta: what archive/pixel_delta.h undoes after decompression. Each whole
// 4-byte group (one pixel: blue, green, red, fourth byte) stores its colour bytes as differences
// from the pixel before, less a per-pixel step that the fourth byte carries together with a bias.
// The undo sets every fourth byte to 255, so only pixels that have 255 there come back as they
// were.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvel {

// Member bytes the delta gives back unchanged in every reader: the first 32 bytes are not part
// of it, the rest is whole groups of 4 (its length a multiple of 4), each with 255 in its fourth
// byte.
bool deltaKeepsMember(const uint8_t* bytes, size_t size);

// Applies the delta in place to the whole groups of pixels (a last, incomplete group stays). The
// step of each pixel is its green difference, which leaves the stored green byte 0.
void applyPixelDelta(uint8_t* pixels, size_t length, uint8_t bias);

}  // namespace quorvel
