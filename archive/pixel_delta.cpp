#include "archive/pixel_delta.h"

namespace quorvel {

void undoPixelDelta(uint8_t* bytes, size_t length, uint8_t bias) {
  size_t groups = length / 4;
  if (groups == 0) return;
  // All arithmetic is modulo 256; the first pixel is predicted from zero.
  uint8_t previous[3] = {0, 0, 0};
  for (size_t g = 0; g < groups; ++g) {
    uint8_t* pixel = bytes + 4 * g;
    uint8_t step = static_cast<uint8_t>(pixel[3] - bias);
    for (int j = 0; j < 3; ++j) {
      pixel[j] = static_cast<uint8_t>(pixel[j] + previous[j] + step);
      previous[j] = pixel[j];
    }
    pixel[3] = 255;
  }
}

}  // namespace quorvel
