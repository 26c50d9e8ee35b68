#include "tools/writer/layered_samples.h"

#include <array>
#include <cmath>

#include "tools/writer/px04_writer.h"
#include "tools/writer/px40_writer.h"

namespace quorvel::writer {

namespace {

uint8_t clampByte(double v) {
  return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Distance of (x, y) from the image centre, relative to the radius (1 at the rim).
double radial(int x, int y, int width, int height) {
  double dx = (x + 0.5 - width / 2.0) / (width / 2.0);
  double dy = (y + 0.5 - height / 2.0) / (height / 2.0);
  return std::sqrt(dx * dx + dy * dy);
}

// Stripes across the whole layer: every third row left out (transparent).
Bytes stripeImage32(int width, int height) {
  Bytes image;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (y % 3 == 2) {
        image.insert(image.end(), {0, 0, 0, 0});
      } else {
        // Alpha byte 0: opaque.
        image.insert(image.end(), {clampByte(x * 5), clampByte(120 + y * 3), 60, 0});
      }
    }
  }
  return image;
}

Px40Layer directLayer(int x, int y, int width, int height, const Bytes& image) {
  return directLayerFromImage(x, y, width, height, 32, image);
}

}  // namespace

Bytes discImage32(int width, int height, int seed) {
  Bytes image;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      double r = radial(x, y, width, height);
      bool hole = (x / 4 + y / 4 + seed) % 9 == 0;
      if (r > 1.0 || hole) {
        image.insert(image.end(), {0, 0, 0, 0});
        continue;
      }
      // 7-bit alpha falling toward the rim; 0 (opaque) inside.
      uint8_t alpha = r < 0.7 ? 0 : clampByte((1.0 - r) / 0.3 * 126 + 1);
      image.insert(image.end(), {clampByte(255 * (1 - r)), clampByte(seed * 40 + x * 3),
                                 clampByte(y * 255.0 / height), alpha});
    }
  }
  return image;
}

Bytes layeredSample32() {
  Px40Picture p;
  p.canvasWidth = 47;  // odd: rows are padded in the 24-bit BMP
  p.canvasHeight = 32;
  p.layers = {directLayer(0, 0, 47, 32, stripeImage32(47, 32)),
              directLayer(6, 4, 22, 22, discImage32(22, 22, 1)),
              directLayer(34, 14, 20, 20, discImage32(20, 20, 2))};  // off the right edge
  return buildPx40(p);
}

Bytes layeredIndexedSample() {
  Px40Picture p;
  p.kind = 68;
  p.canvasWidth = 48;
  p.canvasHeight = 32;
  for (int i = 0; i < 16; ++i) {
    p.colours.insert(p.colours.end(),
                     {clampByte(i * 16), clampByte(255 - i * 12), clampByte(i * i), 0});
  }
  for (auto [x, y, size] : {std::array{2, 2, 28}, std::array{26, 10, 20}}) {
    std::vector<IndexedPixel> image(static_cast<size_t>(size * size));
    for (int py = 0; py < size; ++py) {
      for (int px = 0; px < size; ++px) {
        double r = radial(px, py, size, size);
        IndexedPixel& pixel = image[static_cast<size_t>(py * size + px)];
        pixel.covered = r <= 1.0;
        pixel.opaque = r < 0.6;  // opaque centre, alpha rim
        pixel.alpha = clampByte((1.0 - r) / 0.4 * 127);
        pixel.index = static_cast<uint8_t>((px / 3 + py / 3) % 16);
      }
    }
    Px40Layer layer;
    layer.x = x;
    layer.y = y;
    layer.width = layer.height = size;
    layer.depth = 9;
    layer.indexedRuns = indexedRunsFromImage(image, size, size);
    p.layers.push_back(layer);
  }
  return buildPx40(p);
}

Bytes runStreamSample32() {
  Px04Picture p;
  p.width = 45;
  p.height = 30;
  p.signature = true;
  p.runs = runsFromImage(discImage32(45, 30, 3), 45, 30, 4);
  p.runs[2].fillersBefore = 1;
  return buildPx04(p);
}

}  // namespace quorvel::writer
