#include "archive/lzss.h"

#include <gtest/gtest.h>

#include <random>

#include "pack/lzss_encoder.h"

namespace quorvel {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes decode(const Bytes& stream, uint32_t size, uint32_t* produced = nullptr) {
  Bytes out(size, 0xCC);
  LzssReader reader = LzssReader::fromMemory(stream.data(), stream.size());
  uint32_t n = lzssDecode(reader, nullptr, out.data(), size);
  if (produced != nullptr) *produced = n;
  out.resize(n);
  return out;
}

// The format's steps as written: a 4096-byte ring, zero-filled, bytes taken one at a time.
// Returns the bytes produced before the output was complete or the input ran out.
Bytes referenceDecode(const Bytes& stream, uint32_t size) {
  uint8_t window[4096] = {};
  size_t r = 4078;
  size_t in = 0;
  Bytes out;
  auto next = [&](int& b) {
    if (in >= stream.size()) return false;
    b = stream[in++];
    return true;
  };
  while (out.size() < size) {
    int flags;
    if (!next(flags)) return out;
    for (int bit = 0; bit < 8; ++bit) {
      int b1;
      if (!next(b1)) return out;
      if (flags & (1 << bit)) {
        out.push_back(static_cast<uint8_t>(b1));
        window[r] = static_cast<uint8_t>(b1);
        r = (r + 1) & 0xFFF;
        if (out.size() == size) return out;
        continue;
      }
      int b2;
      if (!next(b2)) return out;
      size_t position = b1 | ((b2 & 0xF0) << 4);
      int length = (b2 & 0x0F) + 3;
      for (int k = 0; k < length; ++k) {
        uint8_t b = window[(position + k) & 0xFFF];
        out.push_back(b);
        window[r] = b;
        r = (r + 1) & 0xFFF;
        if (out.size() == size) return out;
      }
    }
  }
  return out;
}

TEST(Lzss, MatchOnTheZeroWindowAndMatchesThatRepeatTheirOwnOutput) {
  EXPECT_EQ(decode({0x00, 0x00, 0x0F}, 18), Bytes(18, 0));
  EXPECT_EQ(decode({0x01, 0x78, 0xEE, 0xF2}, 6), Bytes(6, 'x'));
  // The decode stops inside the match as soon as the output is complete.
  EXPECT_EQ(decode({0x01, 0x78, 0xEE, 0xF2}, 4), Bytes(4, 'x'));
  // Window positions 4078 to 4095 are zero before the stream writes them.
  EXPECT_EQ(decode({0x00, 0xEE, 0xF0}, 3), Bytes(3, 0));
  EXPECT_EQ(decode({0x01, 0x41, 0xEF, 0xF0}, 4), (Bytes{0x41, 0, 0, 0}));
}

TEST(Lzss, InputThatEndsEarlyProducesFewerBytesAndReadsNothingBeyond) {
  uint32_t produced = 0;
  decode({0x01, 0x78, 0xEE}, 6, &produced);  // the match's second byte is missing
  EXPECT_EQ(produced, 1u);
  decode({}, 5, &produced);
  EXPECT_EQ(produced, 0u);
  // A long stream cut anywhere: never more than the reference produces from the same bytes.
  Bytes data(20000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>((i * 7) % 13);
  Bytes stream = lzssEncode(data);
  for (size_t cut : {size_t{0}, size_t{1}, size_t{17}, stream.size() / 2, stream.size() - 1}) {
    Bytes part(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut));
    // An exact-size heap copy lets the sanitizers catch any read past the input.
    EXPECT_EQ(decode(part, static_cast<uint32_t>(data.size())),
              referenceDecode(part, static_cast<uint32_t>(data.size())));
  }
}

TEST(Lzss, RoundTripsThroughTheEncoder) {
  std::mt19937 random(7);
  std::vector<Bytes> inputs;
  Bytes noise(1 << 20);
  for (auto& b : noise) b = static_cast<uint8_t>(random());
  inputs.push_back(noise);
  Bytes text;
  const std::string words[] = {"alpha ", "beta ", "gamma ", "delta\n", "epsilon "};
  while (text.size() < (1 << 20)) {
    const std::string& w = words[random() % 5];
    text.insert(text.end(), w.begin(), w.end());
  }
  inputs.push_back(text);
  inputs.push_back(Bytes(300000, 0));
  inputs.push_back(Bytes(300000, 0xAB));
  Bytes pattern;
  for (int i = 0; i < 100000; ++i) pattern.push_back(static_cast<uint8_t>(i % 4099 < 5 ? i : 9));
  inputs.push_back(pattern);
  inputs.push_back(Bytes{1});
  std::vector<size_t> encodedSizes;
  for (const Bytes& input : inputs) {
    Bytes stream = lzssEncode(input);
    ASSERT_EQ(decode(stream, static_cast<uint32_t>(input.size())), input);
    encodedSizes.push_back(stream.size());
  }
  // Repetitive data compresses well, noise barely grows.
  EXPECT_LT(encodedSizes[1], text.size() / 3);
  EXPECT_LT(encodedSizes[0], noise.size() * 9 / 8 + 2);
}

TEST(Lzss, AgreesWithTheStepByStepDecoderOnArbitraryStreams) {
  std::mt19937 random(11);
  for (int round = 0; round < 300; ++round) {
    Bytes stream(random() % 3000);
    for (auto& b : stream) b = static_cast<uint8_t>(random());
    // Mostly matches (clear flag bits) to exercise overlaps and the initial window.
    for (size_t i = 0; i < stream.size(); i += 17) stream[i] &= static_cast<uint8_t>(random());
    uint32_t size = static_cast<uint32_t>(random() % 40000);
    ASSERT_EQ(decode(stream, size), referenceDecode(stream, size)) << "round " << round;
  }
}

}  // namespace
}  // namespace quorvel
