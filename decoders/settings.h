#pragma once

#include <cstdint>

namespace quorvel {

// The process-wide switches, written only by the driver before the first conversion and read by
// the decoders and the series writer. Six bytes; the colour bytes are in RGBQUAD order.
struct Settings {
  uint8_t blend = 1;           // 0 with the raw switch: alpha pictures stay 32-bit
  uint8_t keepSubfolders = 1;  // 0 with the stripPath switch: series without their own folder
  uint8_t bgColor[4] = {0, 255, 0, 0};  // blue, green, red, reserved: pure green
};
static_assert(sizeof(Settings) == 6);

extern Settings gSettings;

}  // namespace quorvel
