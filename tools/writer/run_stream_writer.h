// Writes run streams: the direct-colour stream (12-byte run headers, fillers, end marker) shared
// by run-stream and layered pictures, and an encoder that turns an image into such runs.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "tools/writer/byte_writer.h"

namespace quorvel::writer {

struct DirectRun {
  int rowAdvance = 0;     // signed 16-bit
  int columnAdvance = 0;  // signed 16-bit
  Bytes pixels;           // stored pixel bytes
  // Pixel count written; by default pixels.size() / bytes per pixel.
  std::optional<int32_t> count;
  int fillersBefore = 0;  // 0xFFFFFFFE markers written before the run header
  uint32_t marker = 0;    // first four bytes of the run header (anything but the two markers)
};

// A plain run: the two advances and the stored pixels.
inline DirectRun directRun(int rowAdvance, int columnAdvance, Bytes pixels) {
  DirectRun run;
  run.rowAdvance = rowAdvance;
  run.columnAdvance = columnAdvance;
  run.pixels = std::move(pixels);
  return run;
}

// Appends the runs and, when `terminate`, the end marker 0xFFFFFFFF.
void appendDirectRuns(ByteWriter& out, const std::vector<DirectRun>& runs, int bytesPerPixel,
                      bool terminate = true);

// Runs covering every pixel of a top-down image (width x height x bytesPerPixel bytes) that is
// not all zero bytes: one run per visible stretch of a row, each placed by a row advance and a
// column advance from where the previous run ended (so often a negative column advance).
std::vector<DirectRun> runsFromImage(const Bytes& image, int width, int height, int bytesPerPixel);

}  // namespace quorvel::writer
