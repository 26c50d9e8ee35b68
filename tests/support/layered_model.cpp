#include "tests/support/layered_model.h"

namespace quorvel::test {

writer::Px40Picture imageLayersPicture(int width, int height,
                                       const std::vector<ImageLayer>& layers) {
  writer::Px40Picture p;
  p.canvasWidth = width;
  p.canvasHeight = height;
  for (const ImageLayer& l : layers) {
    p.layers.push_back(writer::directLayerFromImage(l.x, l.y, l.width, l.height,
                                                    static_cast<uint16_t>(l.depth), l.image));
  }
  return p;
}

void outputPixel32(const uint8_t* stored, bool raw, uint8_t* out) {
  if (raw) {
    for (int k = 0; k < 3; ++k) out[k] = stored[k];
    out[3] = stored[3] == 0 ? 255 : static_cast<uint8_t>(stored[3] * 2);
    return;
  }
  int alpha = stored[3] & 0x7F;
  for (int k = 0; k < 3; ++k) {
    out[k] = static_cast<uint8_t>(alpha == 0 ? stored[k] : stored[k] * alpha / 128);
  }
}

void paintedPixel(const std::vector<ImageLayer>& layers, int x, int y, int outBytes, uint8_t* out) {
  for (auto l = layers.rbegin(); l != layers.rend(); ++l) {
    int lx = x - l->x, ly = y - l->y;
    if (lx < 0 || ly < 0 || lx >= l->width || ly >= l->height) continue;
    int storedBytes = l->depth / 8;
    const uint8_t* stored = &l->image[(ly * l->width + lx) * storedBytes];
    bool covered = false;
    for (int k = 0; k < storedBytes; ++k) covered = covered || stored[k] != 0;
    if (!covered) return;
    if (l->depth == 32) {
      outputPixel32(stored, outBytes == 4, out);
    } else {
      for (int k = 0; k < 3; ++k) out[k] = stored[k];
      if (outBytes == 4) out[3] = 255;
    }
    return;
  }
}

}  // namespace quorvel::test
