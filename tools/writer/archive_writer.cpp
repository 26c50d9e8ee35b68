#include "tools/writer/archive_writer.h"

#include "pack/member_forms.h"
#include "pack/pixel_delta_encoder.h"
#include "pack/wave_reader.h"

namespace quorvel::writer {

ArchiveMember plainMember(const std::string& name, const Bytes& bytes) {
  return ArchiveMember{name, 0, bytes};
}

ArchiveMember compressedMember(const std::string& name, const Bytes& bytes, uint8_t flags) {
  return ArchiveMember{name, flags, compressedForm(bytes.data(), bytes.size())};
}

ArchiveMember deltaMember(const std::string& name, const Bytes& bytes, uint8_t bias) {
  Bytes prepared = bytes;
  if (prepared.size() > 32)
    quorvel::applyPixelDelta(prepared.data() + 32, prepared.size() - 32, bias);
  return compressedMember(name, prepared, static_cast<uint8_t>(0x80 | (bias & 3)));
}

ArchiveMember waveMember(const std::string& name, const SoundFormat& format, const Bytes& samples) {
  // The packer's own reading of the WAVE file the archive reader is to rebuild.
  return ArchiveMember{name, 0, waveMemberForm(waveFile(format, samples)).value()};
}

Bytes applyPixelDelta(const Bytes& pixels, uint8_t bias) {
  Bytes out = pixels;
  quorvel::applyPixelDelta(out.data(), out.size(), bias);
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
