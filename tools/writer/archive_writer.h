// Writer of archives for tests and samples: plain members, LZSS-compressed members (with the
// pixel delta applied when asked), wave members behind an 18-byte sound header, and a minimal
// 32-bit plain picture to store as a picture member. Compression, the pixel delta and the
// archive layout are the packer's (pack/).
#pragma once

#include <string>
#include <vector>

#include "pack/archive_builder.h"
#include "tools/writer/byte_writer.h"

namespace quorvel::writer {

// One member as it lies in the archive: its directory name (code page 932 bytes, at most 23),
// flags and stored bytes. The archive is laid out by the packer's own builder.
using ArchiveMember = StoredMember;
using quorvel::buildArchive;

struct SoundFormat {
  uint8_t channels = 1;
  uint8_t blockAlign = 2;
  uint16_t sampleRate = 22050;
  uint16_t bitsPerSample = 16;
  uint32_t byteRate = 44100;
};

ArchiveMember plainMember(const std::string& name, const Bytes& bytes);
// flags must not be 0 (any non-zero value marks a compressed member).
ArchiveMember compressedMember(const std::string& name, const Bytes& bytes, uint8_t flags = 1);
// Applies the forward pixel delta to the bytes after the first 32, then compresses; flags
// 0x80 | bias.
ArchiveMember deltaMember(const std::string& name, const Bytes& bytes, uint8_t bias);
// A plain member whose name should end in ".wav" or ".w": sound header, then the samples.
ArchiveMember waveMember(const std::string& name, const SoundFormat& format, const Bytes& samples);

// The forward pixel delta over whole 4-byte groups (a last, incomplete group is left as it is);
// the reader's undo gives back the bytes with every processed fourth byte set to 255.
Bytes applyPixelDelta(const Bytes& pixels, uint8_t bias);
// What the reader delivers for a delta member made from bytes: the fourth byte of every whole
// pixel after the first 32 bytes becomes 255.
Bytes opaqueAfterDelta(const Bytes& bytes);

// The RIFF WAVE file the reader builds for a wave member.
Bytes waveFile(const SoundFormat& format, const Bytes& samples);

// A 32-bit plain picture (kind 1, depth 32): 32-byte header, then rows of blue, green, red,
// alpha, top row first.
Bytes plainPicture32(uint32_t width, uint32_t height, const Bytes& pixels);

}  // namespace quorvel::writer
