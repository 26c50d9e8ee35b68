#include <png.h>

#include "tests/support/png_file.h"

namespace quorvel::test {

namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp) {}

}  // namespace

Bytes writePng(const PngImage& image) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return Bytes();
  }
  png_set_write_fn(png, &out, appendBytes, flushNothing);
  png_set_IHDR(png, info, image.width, image.height, image.bitDepth, image.colourType,
               image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!image.palette.empty()) {
    std::vector<png_color> colours;
    for (size_t i = 0; i + 2 < image.palette.size(); i += 3) {
      colours.push_back(png_color{image.palette[i], image.palette[i + 1], image.palette[i + 2]});
    }
    png_set_PLTE(png, info, colours.data(), static_cast<int>(colours.size()));
  }
  if (!image.transparency.empty()) {
    png_set_tRNS(png, info, image.transparency.data(), static_cast<int>(image.transparency.size()),
                 nullptr);
  }
  png_write_info(png, info);
  const size_t rowBytes = image.rows.size() / image.height;
  std::vector<png_bytep> rows;
  for (uint32_t y = 0; y < image.height; ++y) {
    rows.push_back(const_cast<png_bytep>(image.rows.data() + y * rowBytes));
  }
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

Bytes readPngRgba(const Bytes& png, uint32_t& width, uint32_t& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return Bytes();
  image.format = PNG_FORMAT_RGBA;
  Bytes pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return Bytes();
  width = image.width;
  height = image.height;
  return pixels;
}

}  // namespace quorvel::test
