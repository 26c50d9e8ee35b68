// The BMP file a conversion must write, built independently of the program's own writer.
#pragma once

#include <cstdint>
#include <functional>

#include "tests/support/test_support.h"

namespace quorvel::test {

// A BMP file as the format defines it: 14-byte file header, 40-byte info header, the colour
// table at 8 bits, then bottom-up rows padded to four bytes. pixel(x, y, out) writes the
// bitCount / 8 bytes of the pixel at column x, row y counted from the top.
Bytes expectedBmp(int32_t width, int32_t height, int bitCount, const Bytes& palette,
                  const std::function<void(int32_t, int32_t, uint8_t*)>& pixel);

}  // namespace quorvel::test
