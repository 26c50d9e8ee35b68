#include "decoders/run_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "decoders/pixel_rows.h"

namespace quorvel {

namespace {

// Alpha of a 32-bit pixel kept, by its stored byte. Raw: 0 means opaque, any other value is
// doubled (8 bits kept, so 128 becomes 0). Straight: the opacity of the 7-bit alpha, which is
// opaque at 0 (stored 0 or 128).
struct AlphaTable {
  uint8_t value[256];
  constexpr explicit AlphaTable(bool straight) : value() {
    for (unsigned a = 0; a < 256; ++a) {
      if (straight) {
        value[a] = (a & 0x7Fu) == 0 ? 255 : opacityOfSevenBitAlpha(a & 0x7Fu);
      } else {
        value[a] = a == 0 ? 255 : static_cast<uint8_t>(a * 2);
      }
    }
  }
};
constexpr AlphaTable kRawAlpha(false);
constexpr AlphaTable kStraightAlpha(true);

struct CopyPixels {
  size_t bytes;
  void operator()(uint8_t* out, const uint8_t* in, size_t count) const {
    std::memcpy(out, in, count * bytes);
  }
};

// A 7-bit alpha of 0 leaves the colour as it is: the same as scaling by 128/128.
struct ScaleAlphaPixels {
  void operator()(uint8_t* out, const uint8_t* in, size_t count) const {
    scaleRowBySevenBitAlpha(out, in, count);
  }
};

struct KeptAlphaPixels {
  const AlphaTable& alpha;
  void operator()(uint8_t* out, const uint8_t* in, size_t count) const {
    std::memcpy(out, in, count * 4);
    for (size_t i = 3; i < count * 4; i += 4) out[i] = alpha.value[out[i]];
  }
};

struct AddOpaquePixels {
  void operator()(uint8_t* out, const uint8_t* in, size_t count) const {
    for (size_t i = 0; i < count; ++i, in += 3, out += 4) {
      out[0] = in[0];
      out[1] = in[1];
      out[2] = in[2];
      out[3] = 255;
    }
  }
};

// Marker, row and column advance, pixel count.
constexpr size_t kRunHeaderBytes = 12;

// Reads the records of one direct-colour run stream from the cursor, up to and including its end
// marker, with `sourceBytes` per stored pixel, and hands each run to
// onRun(rowAdvance, columnAdvance, count, pixels), which answers false to refuse it. Every byte
// read lies inside the cursor's view; the decoder and the skip share it.

template <typename OnRun>
ResultCode walkDirectRuns(ByteCursor& cursor, int sourceBytes, OnRun onRun) {
  for (;;) {
    uint32_t marker;
    if (!cursor.readU32(marker)) return ResultCode::UnknownFormat;
    if (marker == kRunStreamEnd) return ResultCode::Success;
    if (marker == kRunStreamFiller) continue;
    const uint8_t* header = cursor.take(8);
    if (header == nullptr) return ResultCode::UnknownFormat;
    int32_t count = loadI32(header + 4);
    if (count < 0) return ResultCode::UnknownFormat;
    const uint8_t* pixels = cursor.take(static_cast<uint64_t>(count) * sourceBytes);
    if (pixels == nullptr || !onRun(loadI16(header), loadI16(header + 2), count, pixels)) {
      return ResultCode::UnknownFormat;
    }
  }
}

template <typename Convert>
ResultCode decodeWith(ByteCursor& cursor, const PixelTarget& target, int sourceBytes,
                      Convert convert) {
  RunPosition position(target);
  return walkDirectRuns(cursor, sourceBytes,
                        [&](int64_t rows, int64_t columns, int32_t count, const uint8_t* pixels) {
                          if (!position.advance(rows, columns)) return false;
                          if (count == 0) return true;
                          if (!position.fits(count)) return false;
                          position.write(pixels, count, sourceBytes, convert);
                          return true;
                        });
}

// The recorded stream from the checkpoint before the window's first row up to the first run that
// starts below the window, each run through convert at its place. The stream was checked when it
// was recorded: the walk cannot fail, and counted runs come in order (empty ones may wander).
template <typename Convert>
void drawWith(ByteView file, const RecordedRuns& runs, const PixelTarget& target, Convert convert) {
  const auto& points = runs.checkpoints;
  auto after = std::partition_point(points.begin(), points.end(), [&](const RunCheckpoint& point) {
    return point.row < target.firstRow;
  });
  size_t offset = runs.start;
  RunPosition position(target);
  if (after != points.begin()) {
    --after;
    offset = after->offset;
    position.moveTo(after->position);
  }
  const int64_t end = target.endRow * target.width;
  ByteCursor cursor(file, offset);
  const int sourceBytes = runs.sourceBytes;
  walkDirectRuns(cursor, sourceBytes,
                 [&](int64_t rows, int64_t columns, int32_t count, const uint8_t* pixels) {
                   position.advance(rows, columns);
                   if (count == 0) return true;
                   if (position.position() >= end) return false;  // ends the walk
                   position.write(pixels, count, sourceBytes, convert);
                   return true;
                 });
}

}  // namespace

ResultCode recordDirectRuns(ByteCursor& cursor, int64_t width, int64_t rows, int sourceBytes,
                            RecordedRuns& runs, bool& ordered) {
  runs = RecordedRuns{cursor.position(), sourceBytes, {}};
  RunPosition position(PixelTarget::whole(nullptr, 0, width, rows, 0));
  int64_t end = 0;     // where the previous run ended
  int64_t before = 0;  // the position before the current record
  bool outOfMemory = false;
  ResultCode result = walkDirectRuns(
      cursor, sourceBytes, [&](int64_t rowAdvance, int64_t columns, int32_t count, const uint8_t*) {
        const int64_t previous = before;
        if (!position.advance(rowAdvance, columns)) return false;
        before = position.position();
        if (count == 0) return true;
        if (!position.fits(count)) return false;
        const int64_t start = position.position();
        if (start < end) ordered = false;
        end = start + count;
        position.moveTo(end);
        before = end;
        const int64_t lastRow = (end - 1) / width;
        if (runs.checkpoints.empty() || runs.checkpoints.back().row < lastRow) {
          const size_t record =
              cursor.position() - static_cast<size_t>(count) * sourceBytes - kRunHeaderBytes;
          try {
            runs.checkpoints.push_back(RunCheckpoint{lastRow, record, previous});
          } catch (const std::bad_alloc&) {
            outOfMemory = true;
            return false;
          }
        }
        return true;
      });
  return outOfMemory ? ResultCode::OutOfMemory : result;
}

void drawRecordedRuns(ByteView file, const RecordedRuns& runs, const PixelTarget& target,
                      DirectPixels pixels) {
  switch (pixels) {
    case DirectPixels::ScaleAlpha:
      return drawWith(file, runs, target, ScaleAlphaPixels{});
    case DirectPixels::RawAlpha:
      return drawWith(file, runs, target, KeptAlphaPixels{kRawAlpha});
    case DirectPixels::StraightAlpha:
      return drawWith(file, runs, target, KeptAlphaPixels{kStraightAlpha});
    case DirectPixels::AddOpaque:
      return drawWith(file, runs, target, AddOpaquePixels{});
    case DirectPixels::Copy:
      break;
  }
  drawWith(file, runs, target, CopyPixels{static_cast<size_t>(target.pixelBytes)});
}

ResultCode skipDirectRuns(ByteCursor& cursor, int sourceBytes) {
  return walkDirectRuns(cursor, sourceBytes,
                        [](int64_t, int64_t, int32_t, const uint8_t*) { return true; });
}

DirectPixels directPixelsFor(int depth, AlphaOutput alpha) {
  if (depth != 32) return DirectPixels::Copy;
  switch (alpha) {
    case AlphaOutput::Blended:
      return DirectPixels::ScaleAlpha;
    case AlphaOutput::Raw:
      return DirectPixels::RawAlpha;
    case AlphaOutput::Straight:
      break;
  }
  return DirectPixels::StraightAlpha;
}

int directOutputBytes(int depth, bool blend) {
  switch (depth) {
    case 8:
    case 16:
    case 24:
      return depth / 8;
    case 32:
      return blend ? 3 : 4;
    default:
      return 0;
  }
}

ResultCode decodeDirectRuns(ByteCursor& cursor, const PixelTarget& target, DirectPixels pixels) {
  switch (pixels) {
    case DirectPixels::ScaleAlpha:
      return decodeWith(cursor, target, 4, ScaleAlphaPixels{});
    case DirectPixels::RawAlpha:
      return decodeWith(cursor, target, 4, KeptAlphaPixels{kRawAlpha});
    case DirectPixels::StraightAlpha:
      return decodeWith(cursor, target, 4, KeptAlphaPixels{kStraightAlpha});
    case DirectPixels::AddOpaque:
      return decodeWith(cursor, target, 3, AddOpaquePixels{});
    case DirectPixels::Copy:
      break;
  }
  return decodeWith(cursor, target, target.pixelBytes,
                    CopyPixels{static_cast<size_t>(target.pixelBytes)});
}

}  // namespace quorvel
