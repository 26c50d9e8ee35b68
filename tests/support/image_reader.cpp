#include "tests/support/image_reader.h"

#include "tests/support/test_support.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#include <stb_image.h>
#pragma GCC diagnostic pop

namespace quorvel::test {

Image readImage(const std::string& path, int channels) {
  Image image;
  Bytes file = readFile(path);
  stbi_uc* pixels = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &image.width,
                                          &image.height, &image.fileChannels, channels);
  if (pixels == nullptr) return Image{};
  image.pixels.assign(pixels, pixels + size_t(image.width) * image.height * channels);
  stbi_image_free(pixels);
  return image;
}

}  // namespace quorvel::test
