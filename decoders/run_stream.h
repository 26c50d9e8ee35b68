// Run streams: pictures stored as runs of visible pixels. Each run starts a relative distance
// (rows x width + columns) after the position where the previous run ended; pixels no run
// covers stay as they are (zero). This file holds the position bookkeeping shared by every run
// stream and the decoder of the direct-colour stream (12-byte run headers, filler markers).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "decoders/bytes.h"
#include "decoders/result_code.h"

namespace quorvel {

// Where decoded pixels go: `rows` rows of `width` pixels of `pixelBytes` bytes; row r counted
// from the top starts at top + r * stride (a negative stride for a bottom-up bits block).
struct PixelTarget {
  uint8_t* top = nullptr;
  ptrdiff_t stride = 0;
  int64_t width = 0;
  int64_t rows = 0;
  int pixelBytes = 0;
};

// The write position of a run stream, in pixels from the target's top-left pixel. Runs wrap
// from the end of one row to the start of the next, as in an unpadded top-down image.
class RunPosition {
 public:
  explicit RunPosition(const PixelTarget& target)
      : target_(target), total_(target.width * target.rows) {}

  // Moves by rows x width + columns pixels. The position may leave the target between runs
  // (only the pixels written must lie inside it), but not so far that it could overflow.
  bool advance(int64_t rows, int64_t columns) {
    position_ += rows * target_.width + columns;
    return position_ >= -kLimit && position_ <= kLimit;
  }
  // True when `count` pixels from the current position lie inside the target.
  bool fits(int64_t count) const { return position_ >= 0 && count <= total_ - position_; }

  // Writes `count` pixels (checked with fits) read from `source`, `sourceBytes` each, through
  // convert(destination, source, pixels), once per row touched; moves past them.
  template <typename Convert>
  void write(const uint8_t* source, int64_t count, int sourceBytes, Convert convert) {
    const int64_t pixelBytes = target_.pixelBytes;
    if (target_.stride == target_.width * pixelBytes) {
      convert(target_.top + position_ * pixelBytes, source, static_cast<size_t>(count));
      position_ += count;
      return;
    }
    int64_t row = position_ / target_.width;
    int64_t column = position_ % target_.width;
    position_ += count;
    while (count > 0) {
      int64_t pixels = std::min(count, target_.width - column);
      convert(target_.top + row * target_.stride + column * pixelBytes, source,
              static_cast<size_t>(pixels));
      source += pixels * sourceBytes;
      count -= pixels;
      ++row;
      column = 0;
    }
  }

 private:
  // Far beyond any picture (2^48 pixels at most), and far from overflowing with one more step.
  static constexpr int64_t kLimit = int64_t{1} << 52;
  PixelTarget target_;
  int64_t total_;
  int64_t position_ = 0;
};

// How the stored pixels of a direct-colour run become output pixels.
enum class DirectPixels {
  Copy,        // stored bytes as they are (the output has the stored depth)
  ScaleAlpha,  // 32-bit with alpha to 24-bit: colours scaled toward black by the 7-bit alpha
  RawAlpha,    // 32-bit kept: alpha 0 becomes 255, any other alpha is doubled (8 bits kept)
};

// The handling of a stored depth (8, 16, 24 or 32) with blending on or off.
DirectPixels directPixelsFor(int depth, bool blend);
// Bytes per output pixel for a stored depth; 0 for a depth no run stream holds.
int directOutputBytes(int depth, bool blend);

constexpr uint32_t kRunStreamEnd = 0xFFFFFFFF;
constexpr uint32_t kRunStreamFiller = 0xFFFFFFFE;

// Decodes one direct-colour run stream from the cursor, up to and including its end marker, into
// the target (whose pixelBytes match `pixels` and the stored depth). Records are 32-bit markers:
// the end marker, a 4-byte filler, or a 12-byte run header (marker; row advance and column
// advance, signed 16-bit; pixel count, signed 32-bit) followed by the run's pixels.
// UnknownFormat when the stream is cut short or has no end marker, a count is negative, or a run
// would leave the target.
ResultCode decodeDirectRuns(ByteCursor& cursor, const PixelTarget& target, DirectPixels pixels);

}  // namespace quorvel
