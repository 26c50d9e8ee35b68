// Reads PNG and BMP files with stb_image, a decoder independent of the program's writers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::test {

struct Image {
  int width = 0;
  int height = 0;
  int fileChannels = 0;         // 1 grey, 2 grey and alpha, 3 RGB, 4 RGBA; 0: not readable
  std::vector<uint8_t> pixels;  // top row first, `channels` bytes per pixel as asked for
};

// The image in the file with `channels` bytes per pixel (grey widened to RGB, alpha 255 added
// where the file has none).
Image readImage(const std::string& path, int channels);

}  // namespace quorvel::test
