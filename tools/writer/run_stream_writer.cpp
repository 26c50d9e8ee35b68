#include "tools/writer/run_stream_writer.h"

#include <algorithm>

namespace quorvel::writer {

void appendDirectRuns(ByteWriter& out, const std::vector<DirectRun>& runs, int bytesPerPixel,
                      bool terminate) {
  for (const DirectRun& run : runs) {
    for (int i = 0; i < run.fillersBefore; ++i) out.u32(0xFFFFFFFE);
    int32_t count = run.count.value_or(static_cast<int32_t>(run.pixels.size() / bytesPerPixel));
    out.u32(run.marker).u16(static_cast<uint16_t>(run.rowAdvance));
    out.u16(static_cast<uint16_t>(run.columnAdvance)).u32(static_cast<uint32_t>(count));
    out.raw(run.pixels);
  }
  if (terminate) out.u32(0xFFFFFFFF);
}

std::vector<DirectRun> runsFromImage(const Bytes& image, int width, int height, int bytesPerPixel) {
  auto visible = [&](int64_t pixel) {
    auto first = image.begin() + pixel * bytesPerPixel;
    return std::any_of(first, first + bytesPerPixel, [](uint8_t b) { return b != 0; });
  };
  std::vector<DirectRun> runs;
  int64_t end = 0;  // where the previous run ended, in pixels
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width;) {
      int64_t start = int64_t{row} * width + column;
      if (!visible(start)) {
        ++column;
        continue;
      }
      int stop = column;
      while (stop < width && visible(int64_t{row} * width + stop)) ++stop;
      DirectRun run;
      run.rowAdvance = static_cast<int>(row - end / width);
      run.columnAdvance = static_cast<int>(column - end % width);
      run.pixels.assign(image.begin() + start * bytesPerPixel,
                        image.begin() + (start + stop - column) * bytesPerPixel);
      runs.push_back(std::move(run));
      end = start + (stop - column);
      column = stop;
    }
  }
  return runs;
}

}  // namespace quorvel::writer
