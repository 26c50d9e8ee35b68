#include "decoders/recorded_picture.h"

#include <algorithm>
#include <cstring>

namespace quorvel {

namespace {

// The layer's pixels inside the canvas rows [top, bottom), as a window over the layer whose first
// row lands at canvas row `top`. Empty (endRow == firstRow) when the layer misses those rows or
// the canvas.
PixelTarget layerWindow(const RecordedLayer& layer, int64_t canvasWidth, int64_t top,
                        int64_t bottom, int pixelBytes) {
  PixelTarget target;
  target.width = layer.width;
  target.rows = layer.height;
  target.pixelBytes = pixelBytes;
  const int64_t left = std::max<int64_t>(layer.x, 0);
  const int64_t right = std::min<int64_t>(layer.x + layer.width, canvasWidth);
  const int64_t first = std::max(layer.y, top);
  const int64_t end = std::min(layer.y + layer.height, bottom);
  if (left >= right || first >= end) return target;
  target.left = left - layer.x;
  target.right = right - layer.x;
  target.firstRow = first - layer.y;
  target.endRow = end - layer.y;
  return target;
}

}  // namespace

void drawRecordedRows(const RecordedPicture& picture, size_t first, size_t count, uint8_t* out) {
  const size_t rowBytes = static_cast<size_t>(dibRowBytes(&picture.header));
  const int pixelBytes = picture.header.biBitCount / 8;
  const auto height = static_cast<int64_t>(picture.header.biHeight);
  // Bits-block rows first .. first+count-1 are canvas rows (from the top) top .. bottom-1, the
  // bottom one first in out.
  const int64_t top = height - static_cast<int64_t>(first + count);
  const int64_t bottom = height - static_cast<int64_t>(first);
  std::memset(out, 0, count * rowBytes);
  for (const RecordedLayer& layer : picture.layers) {
    PixelTarget target = layerWindow(layer, picture.header.biWidth, top, bottom, pixelBytes);
    if (target.firstRow >= target.endRow) continue;
    const int64_t canvasTop = layer.y + target.firstRow;
    const int64_t canvasLeft = layer.x + target.left;
    target.top = out + static_cast<size_t>(bottom - 1 - canvasTop) * rowBytes +
                 static_cast<size_t>(canvasLeft * pixelBytes);
    target.stride = -static_cast<ptrdiff_t>(rowBytes);
    // A layer replaces everything under it, its uncovered pixels included.
    const auto windowBytes = static_cast<size_t>((target.right - target.left) * pixelBytes);
    for (int64_t row = 0; row < target.endRow - target.firstRow; ++row) {
      std::memset(target.top + row * target.stride, 0, windowBytes);
    }
    drawRecordedRuns(picture.file, layer.runs, target, layer.pixels);
  }
}

}  // namespace quorvel
