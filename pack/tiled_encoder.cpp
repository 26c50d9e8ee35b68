#include "pack/tiled_encoder.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>

#include "decoders/bytes.h"

namespace quorvel {

namespace {

constexpr size_t kHeaderBytes = 32;
constexpr size_t kMostRecords = 32767;  // positive index entries
constexpr size_t kMostColours = 32768;  // negative index entries
constexpr int64_t kMostCells = 65535;   // tile columns and rows are 16-bit fields

// The tables of one file being built: colours and records, each entered once.
class TileTables {
 public:
  explicit TileTables(int edge) : recordBytes_(static_cast<size_t>(edge) * edge * 4 + 2) {}

  // The index entry of a solid tile; 0 when the colour table is full.
  int16_t solid(uint32_t colour) {
    auto found = colourIndex_.find(colour);
    if (found != colourIndex_.end()) return found->second;
    if (colours_.size() >= kMostColours) return 0;
    colours_.push_back(colour);
    auto entry = static_cast<int16_t>(-static_cast<int32_t>(colours_.size()));
    colourIndex_.emplace(colour, entry);
    return entry;
  }

  // The index entry of a stored tile of w x h pixels; 0 when the records are full.
  int16_t stored(const uint8_t* pixels, int w, int h) {
    std::string record(recordBytes_, '\0');
    record[0] = static_cast<char>(w);
    record[1] = static_cast<char>(h);
    std::memcpy(record.data() + 2, pixels, static_cast<size_t>(w) * h * 4);
    auto found = recordIndex_.find(record);
    if (found != recordIndex_.end()) return found->second;
    if (recordCount_ >= kMostRecords) return 0;
    records_ += record;
    auto entry = static_cast<int16_t>(++recordCount_);
    recordIndex_.emplace(std::move(record), entry);
    return entry;
  }

  const std::vector<uint32_t>& colours() const { return colours_; }
  const std::string& records() const { return records_; }

 private:
  size_t recordBytes_;
  std::vector<uint32_t> colours_;
  std::unordered_map<uint32_t, int16_t> colourIndex_;
  std::string records_;
  size_t recordCount_ = 0;
  std::unordered_map<std::string, int16_t> recordIndex_;
};

// Whether a solid tile of this colour comes out as its pixels would over every background. The
// blended renderer takes a solid colour through the blend formula for every alpha, which at
// alpha 0 gives one below the background in each channel whose colour lies below it; a pixel of
// alpha 0 gives the background itself. So a transparent colour is drawn as a solid tile only
// where no background can lie above it (white); otherwise its cell is a stored tile, which is
// blended pixel by pixel like the plain picture.
bool solidBlendsAsPixels(uint32_t colour) {
  return (colour >> 24) != 0 || (colour & 0xFFFFFFu) == 0xFFFFFFu;
}

// The index entry of one cell; false when a table is full.
bool encodeCell(const Raster& image, int64_t x, int64_t y, int w, int h, TileTables& tables,
                std::vector<uint8_t>& cell, int16_t& entry) {
  cell.resize(static_cast<size_t>(w) * h * 4);
  for (int j = 0; j < h; ++j) {
    std::memcpy(cell.data() + static_cast<size_t>(j) * w * 4, image.row(y + j) + x * 4,
                static_cast<size_t>(w) * 4);
  }
  uint32_t first = loadU32(cell.data());
  bool oneColour = true;
  for (size_t i = 4; i < cell.size() && oneColour; i += 4) oneColour = loadU32(&cell[i]) == first;
  if (oneColour && first == 0) {
    entry = 0;
    return true;
  }
  entry = oneColour && solidBlendsAsPixels(first) ? tables.solid(first)
                                                  : tables.stored(cell.data(), w, h);
  return entry != 0;
}

void appendHeader(std::vector<uint8_t>& out, int64_t imageCount, int edge, size_t colours,
                  int64_t width, int64_t height, int64_t across, int64_t down) {
  out.assign(kHeaderBytes, 0);
  storeU32(out.data(), static_cast<uint32_t>(imageCount));
  storeU16(out.data() + 0x04, static_cast<uint16_t>(edge));
  storeU16(out.data() + 0x06, static_cast<uint16_t>(colours));
  storeU16(out.data() + 0x10, 0x0B);
  storeU16(out.data() + 0x12, 32);
  storeU32(out.data() + 0x14, static_cast<uint32_t>(width));
  storeU32(out.data() + 0x18, static_cast<uint32_t>(height));
  storeU16(out.data() + 0x1C, static_cast<uint16_t>(across));
  storeU16(out.data() + 0x1E, static_cast<uint16_t>(down));
}

}  // namespace

std::optional<std::vector<uint8_t>> encodeTiled(std::span<const Raster> images, int tileEdge) {
  std::vector<uint8_t> out;
  if (images.empty()) {
    appendHeader(out, 0, tileEdge, 0, 0, 0, 0, 0);
    return out;
  }
  const int64_t width = images.front().width;
  const int64_t height = images.front().height;
  const int64_t across = (width + tileEdge - 1) / tileEdge;
  const int64_t down = (height + tileEdge - 1) / tileEdge;
  if (across > kMostCells || down > kMostCells) return std::nullopt;

  TileTables tables(tileEdge);
  std::vector<int16_t> entries;
  entries.reserve(images.size() * static_cast<size_t>(across * down));
  std::vector<uint8_t> cell;
  for (const Raster& image : images) {
    if (image.width != width || image.height != height || image.bitsPerPixel != 32) {
      return std::nullopt;
    }
    for (int64_t y = 0; y < height; y += tileEdge) {
      for (int64_t x = 0; x < width; x += tileEdge) {
        const int w = static_cast<int>(std::min<int64_t>(tileEdge, width - x));
        const int h = static_cast<int>(std::min<int64_t>(tileEdge, height - y));
        int16_t entry = 0;
        if (!encodeCell(image, x, y, w, h, tables, cell, entry)) return std::nullopt;
        entries.push_back(entry);
      }
    }
  }

  appendHeader(out, static_cast<int64_t>(images.size()), tileEdge, tables.colours().size(), width,
               height, across, down);
  for (uint32_t colour : tables.colours()) {
    uint8_t bytes[4];
    storeU32(bytes, colour);
    out.insert(out.end(), bytes, bytes + 4);
  }
  for (int16_t entry : entries) {
    uint8_t bytes[2];
    storeU16(bytes, static_cast<uint16_t>(entry));
    out.insert(out.end(), bytes, bytes + 2);
  }
  out.insert(out.end(), tables.records().begin(), tables.records().end());
  return out;
}

}  // namespace quorvel
