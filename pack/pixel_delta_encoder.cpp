#include "pack/pixel_delta_encoder.h"

namespace quorvel {

bool deltaKeepsMember(const uint8_t* bytes, size_t size) {
  constexpr size_t kHeaderBytes = 32;
  // The reader's loop takes whole groups of 4 and leaves what it does with a shorter last group
  // undefined: only a member it covers exactly is delta-coded.
  if (size <= kHeaderBytes || (size - kHeaderBytes) % 4 != 0) return false;
  for (size_t g = kHeaderBytes; g + 4 <= size; g += 4) {
    if (bytes[g + 3] != 255) return false;
  }
  return true;
}

void applyPixelDelta(uint8_t* pixels, size_t length, uint8_t bias) {
  // All arithmetic is modulo 256; the first pixel is predicted from zero.
  uint8_t previous[3] = {0, 0, 0};
  for (size_t g = 0; g + 4 <= length; g += 4) {
    uint8_t* pixel = pixels + g;
    auto step = static_cast<uint8_t>(pixel[1] - previous[1]);
    for (int j = 0; j < 3; ++j) {
      uint8_t value = pixel[j];
      pixel[j] = static_cast<uint8_t>(value - previous[j] - step);
      previous[j] = value;
    }
    pixel[3] = static_cast<uint8_t>(step + bias);
  }
}

}  // namespace quorvel
