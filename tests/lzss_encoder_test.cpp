// The packer's LZSS encoder: streams the archive reader's decoder turns back into the input,
// never longer than a greedy parse that always takes the longest match in the window.
#include "pack/lzss_encoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "archive/lzss.h"
#include "convert/worker_budget.h"
#include "tests/support/window_fill_decoder.h"

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
// bytes anywhere in the 4096 bytes before it that the stream has produced, else a literal.
size_t greedySize(const Bytes& input) {
  Bytes text(4096, 0);
  text.insert(text.end(), input.begin(), input.end());
  size_t items = 0;
  size_t bytes = 0;
  for (size_t i = 4096; i < text.size(); ++items) {
    size_t limit = std::min<size_t>(18, text.size() - i);
    size_t best = 0;
    for (size_t from = std::max<size_t>(i - 4096, 4096); from < i && best < limit; ++from) {
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

// The window's fill before the first write differs between readers: a stream matches only what
// it has produced itself. Zeros at the start come as one literal and a match one byte back.
TEST(LzssEncoder, StreamsDecodeAlikeWhateverTheWindowHeld) {
  EXPECT_EQ(encodeChecked(Bytes(19, 0)), (Bytes{0x01, 0x00, 0xEE, 0xFF}));
  EXPECT_TRUE(encodeChecked(Bytes{}).empty());
  Bytes zerosThenA{0, 0, 0, 1};
  zerosThenA.insert(zerosThenA.end(), 200, 'A');
  Bytes emptySeries(32, 0);  // the header of a tiled picture of no images
  emptySeries[0x10] = 0x0B;
  emptySeries[0x12] = 32;
  Bytes zerosThenNoise(600, 0);
  Bytes tail = pictureRows(20000, 9);
  zerosThenNoise.insert(zerosThenNoise.end(), tail.begin(), tail.end());
  std::mt19937 random(17);
  Bytes noise(70000);
  for (auto& b : noise) b = static_cast<uint8_t>(random() % 4 == 0 ? 0 : random() % 8 + 0x1C);
  for (const Bytes& input :
       {Bytes(18 * 8, 0), zerosThenA, emptySeries, zerosThenNoise, noise, Bytes(5000, 0x20),
        Bytes(300, 0xFF), scriptText(9000, 4), pictureRows(300000, 7)}) {
    Bytes stream = encodeChecked(input);
    for (const test::WindowFill& fill : test::windowFills()) {
      ASSERT_EQ(test::decodeWithWindowFill(stream, input.size(), fill), input)
          << input.size() << " bytes, window filled with " << int{fill[4078]};
    }
  }
}

// The previous position's match is tried first and its bytes are taken as agreeing without
// comparing them again: repeats of every period broken by single changed bytes at every distance
// from the match's start, across parse block borders, must still give exact match lengths.
TEST(LzssEncoder, RepeatsBrokenAtEveryPointDecodeExactly) {
  std::mt19937 random(29);
  for (size_t period : {1, 2, 3, 4, 7, 17, 18, 19, 64}) {
    Bytes input(140000);
    for (size_t i = 0; i < input.size(); ++i) input[i] = static_cast<uint8_t>(i % period * 37);
    for (size_t at = 5; at < input.size(); at += 3 + random() % 40) input[at] ^= 0x5A;
    Bytes stream = encodeChecked(input);
    EXPECT_LT(stream.size(), input.size() / 2) << "period " << period;
  }
}

// A large input is encoded in pieces side by side, each with the input before it as history:
// the stream is the one a single encoder over the whole input writes, for any piece layout and
// thread count, and matches reach back across the pieces' borders.
TEST(LzssEncoder, PiecesGiveTheStreamOfOneWholeEncode) {
  const size_t block = 65536;
  std::mt19937 random(24);
  // Noise that comes again a little later, across the borders of the pieces.
  Bytes repeated(5 * block + 4000);
  for (size_t i = 0; i < repeated.size(); ++i) {
    repeated[i] =
        i % 3000 < 2000 && i >= 3000 ? repeated[i - 3000] : static_cast<uint8_t>(random());
  }
  Bytes mixed = pictureRows(3 * block + 17, 11);
  Bytes text = scriptText(2 * block - 3, 12);
  mixed.insert(mixed.end(), text.begin(), text.end());
  for (const Bytes& input : {repeated, mixed, pictureRows(block + 1, 13), scriptText(block, 14),
                             Bytes(4 * block + 5, 0)}) {
    const Bytes whole = lzssEncode(input.data(), input.size(), nullptr, input.size());
    ASSERT_EQ(decode(whole, input.size()), input);
    for (size_t pieceBytes : {block, 2 * block, 3 * block - 1}) {
      for (int threads : {1, 2, 5}) {
        WorkerBudget budget(threads);
        EXPECT_EQ(lzssEncode(input.data(), input.size(), &budget, pieceBytes), whole)
            << input.size() << " bytes in pieces of " << pieceBytes << ", " << threads
            << " threads";
      }
    }
  }
  // The history is the input itself, never the window's fill: alike under every fill.
  const Bytes stream = lzssEncode(repeated.data(), repeated.size(), nullptr, block);
  EXPECT_LT(stream.size(), repeated.size() * 3 / 4) << "the repeats are matched";
  for (const test::WindowFill& fill : test::windowFills()) {
    EXPECT_EQ(test::decodeWithWindowFill(stream, repeated.size(), fill), repeated);
  }
}

}  // namespace
}  // namespace quorvel
