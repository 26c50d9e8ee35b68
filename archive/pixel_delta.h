// The pixel delta step that may follow LZSS decompression: 32-bit pixels (4-byte groups) whose
// colour bytes are stored as differences from the pixel before, plus a per-pixel step carried in
// the fourth byte together with a bias.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvel {

// Reverses the delta in place. Only whole groups inside the bytes are touched: bytes of a last,
// incomplete group stay as they are, and fewer than 4 bytes are left alone. Every processed
// pixel comes out with 255 in its fourth byte.
void undoPixelDelta(uint8_t* bytes, size_t length, uint8_t bias);

}  // namespace quorvel
