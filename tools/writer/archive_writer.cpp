#include "tools/writer/archive_writer.h"

#include <algorithm>
#include <cstring>

#include "tools/writer/lzss_encoder.h"

namespace quorvel::writer {

ArchiveMember plainMember(const std::string& name, const Bytes& bytes) {
  return ArchiveMember{name, 0, bytes};
}

ArchiveMember compressedMember(const std::string& name, const Bytes& bytes, uint8_t flags) {
  ByteWriter stored;
  stored.u32(static_cast<uint32_t>(bytes.size())).raw(lzssEncode(bytes));
  return ArchiveMember{name, flags, stored.take()};
}

ArchiveMember deltaMember(const std::string& name, const Bytes& bytes, uint8_t bias) {
  Bytes prepared = bytes;
  if (bytes.size() > 32) {
    Bytes pixels(bytes.begin() + 32, bytes.end());
    Bytes delta = applyPixelDelta(pixels, bias);
    std::memcpy(prepared.data() + 32, delta.data(), delta.size());
  }
  return compressedMember(name, prepared, static_cast<uint8_t>(0x80 | (bias & 3)));
}

ArchiveMember waveMember(const std::string& name, const SoundFormat& format, const Bytes& samples) {
  ByteWriter stored;
  stored.u8(format.channels).u8(format.blockAlign).u16(format.sampleRate);
  stored.u16(format.bitsPerSample).u32(format.byteRate);
  stored.u32(static_cast<uint32_t>(samples.size())).u32(0).raw(samples);
  return ArchiveMember{name, 0, stored.take()};
}

Bytes buildArchive(const std::vector<ArchiveMember>& members) {
  ByteWriter out;
  out.u16(0xAF1E).u16(static_cast<uint32_t>(members.size()));
  uint32_t offset = 0;
  for (const ArchiveMember& member : members) {
    char name[23] = {};
    std::memcpy(name, member.name.data(), std::min<size_t>(member.name.size(), sizeof name));
    out.text(std::string_view(name, sizeof name)).u8(member.flags);
    out.u32(static_cast<uint32_t>(member.stored.size())).u32(offset);
    offset += static_cast<uint32_t>(member.stored.size());
  }
  for (const ArchiveMember& member : members) out.raw(member.stored);
  return out.take();
}

Bytes applyPixelDelta(const Bytes& pixels, uint8_t bias) {
  Bytes out = pixels;
  uint8_t previous[3] = {0, 0, 0};
  for (size_t g = 0; g + 4 <= pixels.size(); g += 4) {
    // Any step works; taking the green difference leaves the stored green byte 0, as a real
    // encoder tends to.
    uint8_t step = static_cast<uint8_t>(pixels[g + 1] - previous[1]);
    for (int j = 0; j < 3; ++j) {
      out[g + j] = static_cast<uint8_t>(pixels[g + j] - previous[j] - step);
      previous[j] = pixels[g + j];
    }
    out[g + 3] = static_cast<uint8_t>(step + bias);
  }
  return out;
}

Bytes opaqueAfterDelta(const Bytes& bytes) {
  Bytes out = bytes;
  for (size_t g = 32; g + 4 <= out.size(); g += 4) out[g + 3] = 255;
  return out;
}

Bytes waveFile(const SoundFormat& format, const Bytes& samples) {
  ByteWriter out;
  uint32_t size = static_cast<uint32_t>(samples.size());
  out.text("RIFF").u32(size + 36).text("WAVEfmt ").u32(16).u16(1).u16(format.channels);
  out.u32(format.sampleRate).u32(format.byteRate).u16(format.blockAlign);
  out.u16(format.bitsPerSample).text("data").u32(size).raw(samples);
  return out.take();
}

Bytes plainPicture32(uint32_t width, uint32_t height, const Bytes& pixels) {
  ByteWriter out;
  out.u32(width).u32(height).zeros(8).u16(1).u16(32).u32(width).u32(height).zeros(4);
  out.raw(pixels);
  return out.take();
}

}  // namespace quorvel::writer
