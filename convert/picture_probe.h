// Detection of a picture file's sub-format from the first bytes of the file (a 256-byte probe
// buffer, zero behind a short file's end; only its first 32 bytes are looked at).
#pragma once

#include <cstdint>

namespace quorvel {

constexpr uint32_t kProbeBytes = 256;

bool isPxHeader(const uint8_t* probe);
bool isLayeredHeader(const uint8_t* probe);
bool isRunStreamHeader(const uint8_t* probe);
bool isTiledWithColoursHeader(const uint8_t* probe);
bool isTiledBorderedHeader(const uint8_t* probe);

}  // namespace quorvel
