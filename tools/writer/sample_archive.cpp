#include "tools/writer/sample_archive.h"

#include <string>

#include "tools/writer/archive_writer.h"
#include "tools/writer/byte_writer.h"

namespace quorvel::writer {

namespace {

Bytes text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

// A 48 x 32 gradient whose alpha fades from opaque at the left to transparent at the right.
Bytes gradientPicture() {
  const uint32_t width = 48;
  const uint32_t height = 32;
  Bytes pixels;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      pixels.push_back(static_cast<uint8_t>(x * 5));
      pixels.push_back(static_cast<uint8_t>(y * 8));
      pixels.push_back(static_cast<uint8_t>(255 - x * 5));
      pixels.push_back(static_cast<uint8_t>(255 - x * 255 / (width - 1)));
    }
  }
  return plainPicture32(width, height, pixels);
}

// A short 8-bit mono tone: a triangle wave, in integers so that every platform writes the same
// bytes.
Bytes tone(uint32_t period, size_t samples) {
  Bytes out(samples);
  for (size_t i = 0; i < samples; ++i) {
    uint32_t phase = static_cast<uint32_t>(i % period) * 400 / period;  // 0 to 399
    uint32_t level = phase < 200 ? phase : 400 - phase;                 // 0 to 200
    out[i] = static_cast<uint8_t>(28 + level);
  }
  return out;
}

// A complete RIFF WAVE file (8-bit mono, 8000 Hz): a compressed ".wav" member is delivered as it
// unpacks, so it has to carry its own header to be playable.
Bytes waveFile(const Bytes& samples) {
  ByteWriter out;
  uint32_t size = static_cast<uint32_t>(samples.size());
  out.text("RIFF").u32(size + 36).text("WAVEfmt ").u32(16).u16(1).u16(1).u32(8000).u32(8000);
  out.u16(1).u16(8).text("data").u32(size).raw(samples);
  return out.take();
}

}  // namespace

Bytes sampleArchive() {
  std::string story;
  for (int i = 0; i < 60; ++i) {
    story += "Line " + std::to_string(i) + ": the quick brown fox jumps over the lazy dog.\n";
  }
  const SoundFormat mono8{1, 1, 8000, 8, 8000};
  const std::string japaneseName = "\x83\x5E\x83\x43\x83\x67\x83\x8B.txt";  // "タイトル.txt"
  return buildArchive({
      plainMember("readme.txt", text("A plain member, stored as it is.\n")),
      compressedMember("story.txt", text(story)),
      plainMember("picture.px", gradientPicture()),
      deltaMember("delta.px", gradientPicture(), 2),
      waveMember("chime.wav", mono8, tone(9, 4000)),
      waveMember("voice.w", mono8, tone(18, 3000)),
      compressedMember("packed.wav", waveFile(tone(12, 2000))),
      plainMember(japaneseName, text("A member whose name is stored in code page 932.\n")),
  });
}

}  // namespace quorvel::writer
