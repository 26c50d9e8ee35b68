#include "decoders/indexed_runs.h"

#include <cstring>

namespace quorvel {

namespace {

constexpr uint32_t kIndexedEnd = 0xFFFFFFFF;

struct AlphaBlended {
  const ColourTable& colours;
  void operator()(uint8_t* out, const uint8_t* in, size_t count) const {
    for (size_t i = 0; i < count; ++i, in += 2, out += 3) {
      unsigned alpha = in[0] & 0x7Fu;
      const uint8_t* colour = colours.entry[in[1]];
      out[0] = static_cast<uint8_t>((colour[0] * alpha) >> 7);
      out[1] = static_cast<uint8_t>((colour[1] * alpha) >> 7);
      out[2] = static_cast<uint8_t>((colour[2] * alpha) >> 7);
    }
  }
};

// The fourth byte of a kept alpha-mode pixel, by its 7-bit alpha.
struct SevenBitAlphaTable {
  uint8_t value[128];
  constexpr explicit SevenBitAlphaTable(bool straight) : value() {
    for (unsigned a = 0; a < 128; ++a) {
      value[a] = straight ? opacityOfSevenBitAlpha(a) : static_cast<uint8_t>(a * 2);
    }
  }
};
constexpr SevenBitAlphaTable kRawAlpha(false);
constexpr SevenBitAlphaTable kStraightAlpha(true);

struct AlphaKept {
  const ColourTable& colours;
  const SevenBitAlphaTable& alpha;
  void operator()(uint8_t* out, const uint8_t* in, size_t count) const {
    for (size_t i = 0; i < count; ++i, in += 2, out += 4) {
      std::memcpy(out, colours.entry[in[1]], 3);
      out[3] = alpha.value[in[0] & 0x7Fu];
    }
  }
};

struct OpaqueBlended {
  const ColourTable& colours;
  void operator()(uint8_t* out, const uint8_t* in, size_t count) const {
    for (size_t i = 0; i < count; ++i, ++in, out += 3) std::memcpy(out, colours.entry[*in], 3);
  }
};

struct OpaqueKept {
  const ColourTable& colours;
  void operator()(uint8_t* out, const uint8_t* in, size_t count) const {
    for (size_t i = 0; i < count; ++i, ++in, out += 4) {
      std::memcpy(out, colours.entry[*in], 3);
      out[3] = 255;
    }
  }
};

}  // namespace

IndexedControl splitIndexedControl(uint32_t word) {
  IndexedControl control;
  control.rowAdvance = word & 0xFF;
  control.count = (word >> 9) & 0x3FF;
  control.toggle = (word & (1u << 19)) != 0;
  control.columnAdvance = static_cast<int32_t>(word) >> 21;  // arithmetic: keeps the sign
  return control;
}

ResultCode decodeIndexedRuns(ByteCursor& cursor, const PixelTarget& target,
                             const ColourTable& colours, AlphaOutput alpha) {
  const bool blend = alpha == AlphaOutput::Blended;
  const SevenBitAlphaTable& kept = alpha == AlphaOutput::Straight ? kStraightAlpha : kRawAlpha;
  RunPosition position(target);
  bool alphaMode = true;
  for (;;) {
    uint32_t word;
    if (!cursor.readU32(word)) return ResultCode::UnknownFormat;
    if (word == kIndexedEnd) return ResultCode::Success;
    IndexedControl control = splitIndexedControl(word);
    if (control.toggle) alphaMode = !alphaMode;
    if (!position.advance(control.rowAdvance, control.columnAdvance)) {
      return ResultCode::UnknownFormat;
    }
    if (control.count == 0) continue;
    int sourceBytes = alphaMode ? 2 : 1;
    const uint8_t* pixels = cursor.take(static_cast<uint64_t>(control.count) * sourceBytes);
    if (pixels == nullptr || !position.fits(control.count)) return ResultCode::UnknownFormat;
    if (alphaMode && blend) {
      position.write(pixels, control.count, sourceBytes, AlphaBlended{colours});
    } else if (alphaMode) {
      position.write(pixels, control.count, sourceBytes, AlphaKept{colours, kept});
    } else if (blend) {
      position.write(pixels, control.count, sourceBytes, OpaqueBlended{colours});
    } else {
      position.write(pixels, control.count, sourceBytes, OpaqueKept{colours});
    }
  }
}

}  // namespace quorvel
