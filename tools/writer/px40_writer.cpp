#include "tools/writer/px40_writer.h"

#include <algorithm>

namespace quorvel::writer {

namespace {

void appendIndexedRuns(ByteWriter& out, const std::vector<IndexedRun>& runs) {
  bool alphaMode = true;
  for (const IndexedRun& run : runs) {
    if (run.toggle) alphaMode = !alphaMode;
    int count = run.count.value_or(static_cast<int>(run.pixels.size() / (alphaMode ? 2 : 1)));
    out.u32(run.word.value_or(
        indexedControlWord(run.rowAdvance, run.columnAdvance, run.toggle, count)));
    out.raw(run.pixels);
  }
}

void appendLayer(ByteWriter& out, const Px40Layer& layer) {
  out.u32(static_cast<uint32_t>(layer.width)).u32(static_cast<uint32_t>(layer.height));
  out.u32(static_cast<uint32_t>(layer.x)).u32(static_cast<uint32_t>(layer.y));
  out.u16(0).u16(layer.depth).zeros(12);
  if (layer.depth == 9) {
    appendIndexedRuns(out, layer.indexedRuns);
  } else {
    appendDirectRuns(out, layer.runs, layer.depth / 8, false);
  }
  if (layer.terminate) out.u32(0xFFFFFFFF);
}

}  // namespace

std::vector<IndexedRun> indexedRunsFromImage(const std::vector<IndexedPixel>& image, int width,
                                             int height) {
  std::vector<IndexedRun> runs;
  bool opaqueMode = false;  // every layer starts in alpha mode
  int64_t end = 0;          // where the previous run ended, in pixels
  auto at = [&](int x, int y) { return image[static_cast<size_t>(y) * width + x]; };
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width;) {
      if (!at(x, y).covered) {
        ++x;
        continue;
      }
      bool opaque = at(x, y).opaque;
      int stop = x;
      while (stop < width && stop - x < 1023 && at(stop, y).covered &&
             at(stop, y).opaque == opaque) {
        ++stop;
      }
      // Advances beyond what one control word holds go in runs without pixels first.
      int rows = static_cast<int>(y - end / width);
      int columns = static_cast<int>(x - end % width);
      while (rows > 255 || columns > 1023 || columns < -1024) {
        IndexedRun skip;
        skip.rowAdvance = std::min(rows, 255);
        skip.columnAdvance = std::clamp(columns, -1024, 1023);
        rows -= skip.rowAdvance;
        columns -= skip.columnAdvance;
        runs.push_back(skip);
      }
      IndexedRun run;
      run.rowAdvance = rows;
      run.columnAdvance = columns;
      run.toggle = opaque != opaqueMode;
      opaqueMode = opaque;
      for (int i = x; i < stop; ++i) {
        if (!opaque) run.pixels.push_back(at(i, y).alpha);
        run.pixels.push_back(at(i, y).index);
      }
      runs.push_back(std::move(run));
      end = int64_t{y} * width + stop;
      x = stop;
    }
  }
  return runs;
}

uint32_t indexedControlWord(int rowAdvance, int columnAdvance, bool toggle, int count) {
  return (static_cast<uint32_t>(rowAdvance) & 0xFF) |
         ((static_cast<uint32_t>(count) & 0x3FF) << 9) | (toggle ? 1u << 19 : 0) |
         ((static_cast<uint32_t>(columnAdvance) & 0x7FF) << 21);
}

Px40Layer directLayerFromImage(int32_t x, int32_t y, int32_t width, int32_t height, uint16_t depth,
                               const Bytes& image) {
  Px40Layer layer;
  layer.x = x;
  layer.y = y;
  layer.width = width;
  layer.height = height;
  layer.depth = depth;
  layer.runs = runsFromImage(image, width, height, depth / 8);
  return layer;
}

Bytes buildPx40(const Px40Picture& picture) {
  bool indexed = picture.kind != 64;
  // The entries: the colour table (kind 68), then each layer; their offsets fill the table.
  std::vector<Bytes> entries;
  if (indexed) {
    ByteWriter table;
    table.u32(picture.colourCount.value_or(static_cast<uint32_t>(picture.colours.size() / 4)));
    table.zeros(28).raw(picture.colours);
    entries.push_back(table.take());
  }
  for (const Px40Layer& layer : picture.layers) {
    ByteWriter entry;
    appendLayer(entry, layer);
    entries.push_back(entry.take());
  }
  uint32_t entryCount = picture.entryCount.value_or(static_cast<uint32_t>(entries.size()));
  ByteWriter out;
  out.u32(entryCount).zeros(12).u16(picture.kind).u16(0);
  out.u32(static_cast<uint32_t>(picture.canvasWidth));
  out.u32(static_cast<uint32_t>(picture.canvasHeight)).zeros(4);
  // The table has entryCount slots (a huge count, meant to reach past the file, gets one slot
  // per entry written).
  size_t slots = entryCount <= 0x10000 ? entryCount : entries.size();
  uint32_t offset = 32 + 4 * static_cast<uint32_t>(slots);
  for (size_t i = 0; i < slots; ++i) {
    out.u32(i < entries.size() ? offset : 0);
    if (i < entries.size()) offset += static_cast<uint32_t>(entries[i].size());
  }
  for (const Bytes& entry : entries) out.raw(entry);
  out.raw(picture.trailing);
  return out.take();
}

}  // namespace quorvel::writer
