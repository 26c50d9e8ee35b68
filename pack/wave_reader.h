// Sound files that can become wave members. The archive reader rebuilds a wave member into a
// canonical 44-byte PCM RIFF WAVE header (archive/wave_header.h) followed by the samples; a file
// is stored that way only when that rebuild gives back every one of its bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace quorvel {

// The stored bytes of the wave member (the 18-byte sound header, then the samples), or nothing
// when the file is not such a WAVE file: another header layout or format, extra chunks or bytes,
// a size field that disagrees with the file, more than 255 channels or bytes per block, or a
// sample rate above 65535.
std::optional<std::vector<uint8_t>> waveMemberForm(const uint8_t* file, size_t size);

inline std::optional<std::vector<uint8_t>> waveMemberForm(const std::vector<uint8_t>& file) {
  return waveMemberForm(file.data(), file.size());
}

}  // namespace quorvel
