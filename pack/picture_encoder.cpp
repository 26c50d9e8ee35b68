#include "pack/picture_encoder.h"

#include <cstring>

#include "decoders/bytes.h"
#include "decoders/dib.h"
#include "decoders/run_stream.h"

namespace quorvel {

namespace {

constexpr size_t kHeaderBytes = 32;
// Kind 1: grey levels at 8 bits (no colour table), blue, green, red, alpha at 32.
constexpr uint16_t kBasicKind = 1;
constexpr uint16_t kPaletteKind = 7;
constexpr uint16_t kWordKind = 0;
constexpr uint16_t kDirectLayersKind = 64;

// The colours a plain picture without a colour table stands for: the grey ramp with every
// reserved byte 0.
bool isStoredGreyRamp(const std::vector<uint8_t>& palette) {
  const auto* colours = reinterpret_cast<const RgbQuad*>(palette.data());
  for (int i = 0; i < 256; ++i) {
    if (colours[i].reserved != 0) return false;
  }
  return isGreyRamp(colours);
}

// A plain picture: width, height, kind and depth, then copies of width and height (which
// detection compares for kinds 1 and 7), the colour table of kind 7 and the rows.
std::vector<uint8_t> encodePlain(const Raster& raster, uint16_t kind) {
  const size_t table = kind == kPaletteKind ? raster.palette.size() : 0;
  std::vector<uint8_t> out(kHeaderBytes + table + raster.pixels.size(), 0);
  uint8_t* p = out.data();
  storeU32(p, static_cast<uint32_t>(raster.width));
  storeU32(p + 4, static_cast<uint32_t>(raster.height));
  storeU16(p + 16, kind);
  storeU16(p + 18, static_cast<uint16_t>(raster.bitsPerPixel));
  storeU32(p + 20, static_cast<uint32_t>(raster.width));
  storeU32(p + 24, static_cast<uint32_t>(raster.height));
  if (table > 0) std::memcpy(p + kHeaderBytes, raster.palette.data(), table);
  if (!raster.pixels.empty()) {
    std::memcpy(p + kHeaderBytes + table, raster.pixels.data(), raster.pixels.size());
  }
  return out;
}

// A layered picture of one entry: a 24-bit layer at (0, 0) as large as the canvas, whose run
// stream is one run of every pixel.
std::vector<uint8_t> encodeLayered24(const Raster& raster) {
  const auto width = static_cast<uint32_t>(raster.width);
  const auto height = static_cast<uint32_t>(raster.height);
  constexpr size_t kEntryTable = 4;
  constexpr size_t kLayerHeader = 32;
  constexpr size_t kRunHeader = 12;
  const size_t pixelsAt = kHeaderBytes + kEntryTable + kLayerHeader + kRunHeader;
  std::vector<uint8_t> out(pixelsAt + raster.pixels.size() + 4, 0);
  uint8_t* p = out.data();
  storeU32(p, 1);  // one entry
  storeU16(p + 16, kDirectLayersKind);
  storeU32(p + 20, width);
  storeU32(p + 24, height);
  storeU32(p + kHeaderBytes, kHeaderBytes + kEntryTable);  // where the entry starts
  uint8_t* layer = p + kHeaderBytes + kEntryTable;
  storeU32(layer, width);
  storeU32(layer + 4, height);
  storeU16(layer + 18, 24);
  uint8_t* run = layer + kLayerHeader;  // marker 0, no advance, then the pixel count
  storeU32(run + 8, width * height);
  if (!raster.pixels.empty()) std::memcpy(p + pixelsAt, raster.pixels.data(), raster.pixels.size());
  storeU32(p + pixelsAt + raster.pixels.size(), kRunStreamEnd);
  return out;
}

}  // namespace

std::vector<uint8_t> encodePicture(const Raster& raster) {
  switch (raster.bitsPerPixel) {
    case 8:
      return encodePlain(raster, isStoredGreyRamp(raster.palette) ? kBasicKind : kPaletteKind);
    case 16:
      return encodePlain(raster, kWordKind);
    case 24:
      return encodeLayered24(raster);
    default:
      return encodePlain(raster, kBasicKind);
  }
}

}  // namespace quorvel
