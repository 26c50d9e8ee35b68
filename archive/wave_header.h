// The canonical 44-byte RIFF WAVE header built from an archive's 18-byte sound header:
// channels (8 bits), block align (8 bits), sample rate (16 bits), bits per sample (16 bits),
// byte rate (32 bits), data size (32 bits), 4 unused bytes.
#pragma once

#include <cstdint>

namespace quorvel {

// Writes the header into out (44 bytes) from the 18 bytes at soundHeader; returns 44.
uint32_t buildWaveHeader(uint8_t* out, const uint8_t* soundHeader);

}  // namespace quorvel
