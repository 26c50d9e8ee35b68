// Which sound files become wave members: exactly those whose rebuilt WAVE file is the file.
#include "pack/wave_reader.h"

#include <gtest/gtest.h>

#include <functional>

#include "archive/wave_header.h"
#include "tools/writer/archive_writer.h"

namespace quorvel {
namespace {

using writer::Bytes;

void put(Bytes& file, size_t at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) file[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

TEST(WaveReader, ACanonicalFileBecomesSoundHeaderAndSamples) {
  const Bytes samples{1, 2, 3, 4, 5, 6};
  const Bytes file = writer::waveFile(writer::SoundFormat{2, 4, 48000, 16, 192000}, samples);
  std::optional<Bytes> stored = waveMemberForm(file);
  ASSERT_TRUE(stored);
  ASSERT_EQ(stored->size(), 18 + samples.size());
  EXPECT_EQ(Bytes(stored->begin() + 18, stored->end()), samples);
  // What the archive reader rebuilds from it is the file itself.
  Bytes rebuilt(44);
  buildWaveHeader(rebuilt.data(), stored->data());
  rebuilt.insert(rebuilt.end(), samples.begin(), samples.end());
  EXPECT_EQ(rebuilt, file);
  // No samples at all is still a sound.
  EXPECT_TRUE(waveMemberForm(writer::waveFile(writer::SoundFormat{}, {})));
}

TEST(WaveReader, AnythingTheRebuildWouldChangeIsNoWaveMember) {
  const Bytes good = writer::waveFile(writer::SoundFormat{}, Bytes(100, 7));
  const std::vector<std::pair<const char*, std::function<void(Bytes&)>>> cases = {
      {"RIFF size", [](Bytes& f) { put(f, 4, 135, 4); }},
      {"format 3 (float)", [](Bytes& f) { put(f, 20, 3, 2); }},
      {"fmt chunk of 18 bytes", [](Bytes& f) { put(f, 16, 18, 4); }},
      {"256 channels", [](Bytes& f) { put(f, 22, 256, 2); }},
      {"96000 Hz", [](Bytes& f) { put(f, 24, 96000, 4); }},
      {"block align 256", [](Bytes& f) { put(f, 32, 256, 2); }},
      {"data size short", [](Bytes& f) { put(f, 40, 99, 4); }},
      {"a LIST chunk", [](Bytes& f) { std::copy_n("LIST", 4, f.begin() + 36); }},
      {"a byte behind the data", [](Bytes& f) { f.push_back(0); }},
      {"cut short", [](Bytes& f) { f.resize(43); }},
      {"RIFX", [](Bytes& f) { f[3] = 'X'; }},
  };
  for (const auto& [what, change] : cases) {
    Bytes file = good;
    change(file);
    EXPECT_FALSE(waveMemberForm(file)) << what;
  }
}

}  // namespace
}  // namespace quorvel
