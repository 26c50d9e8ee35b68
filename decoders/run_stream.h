// Run streams: pictures stored as runs of visible pixels. Each run starts a relative distance
// (rows x width + columns) after the position where the previous run ended; pixels no run
// covers stay as they are (zero). This file holds the position bookkeeping shared by every run
// stream and the decoder of the direct-colour stream (12-byte run headers, filler markers).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "decoders/alpha_output.h"
#include "decoders/bytes.h"
#include "decoders/result_code.h"

namespace quorvel {

// Where decoded pixels go: a picture (or layer) of `width` x `rows` pixels of `pixelBytes`
// bytes, of which only the window of columns [left, right) and rows [firstRow, endRow) is
// stored. Window pixel (left, firstRow) is at `top`; each further row is `stride` bytes on (a
// negative stride for a bottom-up bits block). Pixels outside the window are dropped.
struct PixelTarget {
  uint8_t* top = nullptr;
  ptrdiff_t stride = 0;
  int64_t width = 0;
  int64_t rows = 0;
  int pixelBytes = 0;
  int64_t left = 0, right = 0, firstRow = 0, endRow = 0;

  // A target that stores every pixel.
  static PixelTarget whole(uint8_t* top, ptrdiff_t stride, int64_t width, int64_t rows,
                           int pixelBytes) {
    return PixelTarget{top, stride, width, rows, pixelBytes, 0, width, 0, rows};
  }
};

// The write position of a run stream, in pixels from the top-left pixel. Runs wrap from the end
// of one row to the start of the next, as in an unpadded top-down image.
class RunPosition {
 public:
  explicit RunPosition(const PixelTarget& target)
      : target_(target),
        total_(target.width * target.rows),
        contiguous_(target.left == 0 && target.right == target.width &&
                    target.stride == target.width * target.pixelBytes) {}

  // Moves by rows x width + columns pixels. The position may leave the picture between runs
  // (only the pixels written must lie inside it), but not so far that it could overflow.
  bool advance(int64_t rows, int64_t columns) {
    position_ += rows * target_.width + columns;
    return position_ >= -kLimit && position_ <= kLimit;
  }
  // Stands at `position` pixels from the top-left pixel (a position recorded earlier).
  void moveTo(int64_t position) { position_ = position; }
  int64_t position() const { return position_; }
  // True when `count` pixels from the current position lie inside the picture.
  bool fits(int64_t count) const { return position_ >= 0 && count <= total_ - position_; }

  // Writes the `count` pixels (checked with fits) read from `source`, `sourceBytes` each, that
  // fall into the window, through convert(destination, source, pixels) once per row piece, and
  // moves past all of them.
  template <typename Convert>
  void write(const uint8_t* source, int64_t count, int sourceBytes, Convert convert) {
    int64_t start = position_;
    position_ += count;
    if (contiguous_) {
      // The window is whole rows: one piece, clipped to the stored rows.
      int64_t from = std::max(start, target_.firstRow * target_.width);
      int64_t to = std::min(position_, target_.endRow * target_.width);
      if (from < to) {
        convert(target_.top + (from - target_.firstRow * target_.width) * target_.pixelBytes,
                source + (from - start) * sourceBytes, static_cast<size_t>(to - from));
      }
      return;
    }
    int64_t row = std::max(start / target_.width, target_.firstRow);
    int64_t lastRow = std::min((position_ - 1) / target_.width, target_.endRow - 1);
    for (; row <= lastRow; ++row) {
      int64_t rowStart = row * target_.width;
      int64_t from = std::max(start, rowStart + target_.left);
      int64_t to = std::min(position_, rowStart + target_.right);
      if (from >= to) continue;
      convert(target_.top + (row - target_.firstRow) * target_.stride +
                  (from - rowStart - target_.left) * target_.pixelBytes,
              source + (from - start) * sourceBytes, static_cast<size_t>(to - from));
    }
  }

 private:
  // Far beyond any picture (2^48 pixels at most), and far from overflowing with one more step.
  static constexpr int64_t kLimit = int64_t{1} << 52;
  PixelTarget target_;
  int64_t total_;
  bool contiguous_;
  int64_t position_ = 0;
};

// How the stored pixels of a direct-colour run become output pixels.
enum class DirectPixels {
  Copy,        // stored bytes as they are (the output has the stored depth)
  ScaleAlpha,  // 32-bit with alpha to 24-bit: colours scaled toward black by the 7-bit alpha
  RawAlpha,    // 32-bit kept: alpha 0 becomes 255, any other alpha is doubled (8 bits kept)
  // 32-bit kept, alpha as opacity: a 7-bit alpha (the top bit is not looked at) of 0 is opaque
  // (255), any other is scaled to 8 bits (opacityOfSevenBitAlpha), so 128 stays opaque.
  StraightAlpha,
  AddOpaque,  // 24-bit to 32-bit: the colours copied, alpha 255 (opaque) added
};

// The handling of a stored depth (8, 16, 24 or 32) in one alpha output.
DirectPixels directPixelsFor(int depth, AlphaOutput alpha);
// Bytes per output pixel for a stored depth; 0 for a depth no run stream holds.
int directOutputBytes(int depth, bool blend);

constexpr uint32_t kRunStreamEnd = 0xFFFFFFFF;
constexpr uint32_t kRunStreamFiller = 0xFFFFFFFE;

// Direct-colour run streams are records read as 32-bit markers: the end marker, a 4-byte filler,
// or a 12-byte run header (marker; row advance and column advance, signed 16-bit; pixel count,
// signed 32-bit) followed by the run's pixels.

// Moves the cursor past one direct-colour run stream, up to and including its end marker, with
// `sourceBytes` per stored pixel, without decoding it. UnknownFormat when the stream is cut
// short or has no end marker, or a count is negative.
ResultCode skipDirectRuns(ByteCursor& cursor, int sourceBytes);

// Decodes one direct-colour run stream into the target, whose pixelBytes are what `pixels` makes
// of the stored pixels. UnknownFormat as for skipDirectRuns, and when a run would leave the
// picture.
ResultCode decodeDirectRuns(ByteCursor& cursor, const PixelTarget& target, DirectPixels pixels);

// A place in a run stream where drawing may start: the record at `offset` in the file, with the
// position as it stood before that record. `row` is the row of the last pixel of that record's run.
struct RunCheckpoint {
  int64_t row;
  size_t offset;
  int64_t position;
};

// A run stream found and checked, kept for drawing any rows later: where it starts in the file
// and a checkpoint at the first run ending on each further row, so that drawing a few rows starts
// near them instead of at the start. At most one checkpoint per run and per row.
struct RecordedRuns {
  size_t start = 0;  // offset of the stream's first record in the file
  int sourceBytes = 0;
  std::vector<RunCheckpoint> checkpoints;  // rows ascending
};

// Walks one direct-colour run stream of a width x rows picture, as decodeDirectRuns does and
// with its answers, and records it instead of drawing it (OutOfMemory when the checkpoints cannot
// be kept). `ordered` is cleared when a run starts before the previous one ended: such runs cannot
// be drawn a few rows at a time (drawRecordedRuns needs them ordered), only all of them in turn.
ResultCode recordDirectRuns(ByteCursor& cursor, int64_t width, int64_t rows, int sourceBytes,
                            RecordedRuns& runs, bool& ordered);

// Draws the runs of the ordered stream recorded from `file` (its width and rows in the target)
// that touch the target's window rows into the window, through `pixels` as decodeDirectRuns
// does; the walk starts at the checkpoint before the window and stops at the first run past it.
void drawRecordedRuns(ByteView file, const RecordedRuns& runs, const PixelTarget& target,
                      DirectPixels pixels);

}  // namespace quorvel
