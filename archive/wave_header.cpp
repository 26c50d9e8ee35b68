#include "archive/wave_header.h"

#include <cstring>

#include "decoders/bytes.h"

namespace quorvel {

uint32_t buildWaveHeader(uint8_t* out, const uint8_t* soundHeader) {
  uint32_t dataSize = loadU32(soundHeader + 10);
  std::memcpy(out, "RIFF", 4);
  storeU32(out + 4, dataSize + 36);
  std::memcpy(out + 8, "WAVEfmt ", 8);
  storeU32(out + 16, 16);
  storeU16(out + 20, 1);  // PCM
  storeU16(out + 22, soundHeader[0]);
  storeU32(out + 24, loadU16(soundHeader + 2));
  storeU32(out + 28, loadU32(soundHeader + 6));
  storeU16(out + 32, soundHeader[1]);
  storeU16(out + 34, loadU16(soundHeader + 4));
  std::memcpy(out + 36, "data", 4);
  storeU32(out + 40, dataSize);
  return 44;
}

}  // namespace quorvel
