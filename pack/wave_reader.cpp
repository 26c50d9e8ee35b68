#include "pack/wave_reader.h"

#include <cstring>

#include "archive/directory_record.h"
#include "archive/wave_header.h"
#include "decoders/bytes.h"

namespace quorvel {

std::optional<std::vector<uint8_t>> waveMemberForm(const uint8_t* file, size_t size) {
  if (size < kWaveHeaderBytes || size - kWaveHeaderBytes > UINT32_MAX) return std::nullopt;
  // The sound header from the file's fields, each narrowed as the sound header stores it; the
  // rebuild of that header must then be the file's header exactly.
  uint8_t sound[kSoundHeaderBytes] = {};
  sound[0] = file[22];                    // channels (16 bits in the file)
  sound[1] = file[32];                    // block align (16 bits)
  std::memcpy(sound + 2, file + 24, 2);   // sample rate (32 bits)
  std::memcpy(sound + 4, file + 34, 2);   // bits per sample
  std::memcpy(sound + 6, file + 28, 4);   // byte rate
  std::memcpy(sound + 10, file + 40, 4);  // data size
  uint8_t rebuilt[kWaveHeaderBytes];
  buildWaveHeader(rebuilt, sound);
  if (std::memcmp(rebuilt, file, kWaveHeaderBytes) != 0) return std::nullopt;
  if (loadU32(file + 40) != size - kWaveHeaderBytes) return std::nullopt;
  std::vector<uint8_t> stored(sound, sound + kSoundHeaderBytes);
  stored.insert(stored.end(), file + kWaveHeaderBytes, file + size);
  return stored;
}

}  // namespace quorvel
