// The packer's LZSS encoder: streams the archive reader's decoder turns back into the input,
// never longer than a greedy parse that always takes the longest match in the window.
#include "pack/lzss_encoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "archive/lzss.h"

namespace quorvel {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes decode(const Bytes& stream, size_t size) {
  Bytes out(size);
  LzssReader reader = LzssReader::fromMemory(stream.data(), stream.size());
  out.resize(lzssDecode(reader, nullptr, out.data(), static_cast<uint32_t>(size)));
  return out;
}

Bytes encodeChecked(const Bytes& input) {
  Bytes stream = lzssEncode(input);
  EXPECT_EQ(decode(stream, input.size()), input);
  return stream;
}

// The size of the stream a greedy encoder writes: at each item, the longest match of 3 to 18
// bytes anywhere in the 4096 bytes before it (the zero window included), else a literal.
size_t greedySize(const Bytes& input) {
  Bytes text(4096, 0);
  text.insert(text.end(), input.begin(), input.end());
  size_t items = 0;
  size_t bytes = 0;
  for (size_t i = 4096; i < text.size(); ++items) {
    size_t limit = std::min<size_t>(18, text.size() - i);
    size_t best = 0;
    for (size_t from = i - 4096; from < i && best < limit; ++from) {
      size_t n = 0;
      while (n < limit && text[from + n] == text[i + n]) ++n;
      best = std::max(best, n);
    }
    bool match = best >= 3;
    bytes += match ? 2 : 1;
    i += match ? best : 1;
  }
  return bytes + (items + 7) / 8;
}

Bytes scriptText(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  const char* words[] = {"the ", "door ", "opens", "\n", "said: ", "HP=", "sword ", "rain "};
  std::string text;
  while (text.size() < size) {
    text += random() % 5 == 0 ? std::to_string(random() % 100) : words[random() % 8];
  }
  return Bytes(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(size));
}

// Rows of 32-bit pixels: flat runs, a gradient, noise.
Bytes pictureRows(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes out;
  for (size_t i = 0; out.size() < size; ++i) {
    size_t x = i % 300;
    uint32_t pixel = x < 100   ? 0xFF203040u
                     : x < 200 ? 0xFF000000u | (i / 300 * 0x010101u)
                               : random();
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(pixel >> (8 * k)));
  }
  out.resize(size);
  return out;
}

TEST(LzssEncoder, NeverLongerThanTheGreedyParse) {
  for (const Bytes& input : {scriptText(9000, 1), pictureRows(9000, 2), scriptText(5000, 3)}) {
    EXPECT_LE(encodeChecked(input).size(), greedySize(input));
  }
}

TEST(LzssEncoder, MatchesReachTheWholeWindowAndNoFurther) {
  std::mt19937 random(5);
  Bytes noise(4097);
  for (auto& b : noise) b = static_cast<uint8_t>(random());
  // The copy of 4096 bytes lies exactly one window back.
  Bytes twice(noise.begin(), noise.begin() + 4096);
  twice.insert(twice.end(), noise.begin(), noise.begin() + 4096);
  EXPECT_LT(encodeChecked(twice).size(), 4096 * 9 / 8 + 4096 / 2);
  // One byte further back, no byte of the copy can be matched.
  Bytes beyond = noise;
  beyond.insert(beyond.end(), noise.begin(), noise.end());
  EXPECT_GT(encodeChecked(beyond).size(), 2 * 4097);
}

TEST(LzssEncoder, ZerosAtTheStartMatchTheZeroWindow) {
  EXPECT_EQ(encodeChecked(Bytes(18, 0)).size(), 3u);
  EXPECT_EQ(encodeChecked(Bytes(18 * 8, 0)).size(), 17u);
  EXPECT_TRUE(encodeChecked(Bytes{}).empty());
  // Long inputs cross the encoder's blocks of work.
  Bytes long1 = pictureRows(300000, 7);
  encodeChecked(long1);
}

}  // namespace
}  // namespace quorvel
