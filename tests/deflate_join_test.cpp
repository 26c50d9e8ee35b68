// Raw deflate streams from libdeflate, each left open but the last, laid one after the other:
// zlib inflates the whole to the inputs joined, whatever the streams' lengths (every way a stream
// can end within its last byte), levels and block kinds; damaged or mismatched streams are
// refused.
#include "convert/deflate_join.h"

#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include <cstdint>
#include <vector>

namespace quorvel {
namespace {

using Bytes = std::vector<uint8_t>;

// Bytes with some repetition (matches) and some noise (literals), or only noise (stored blocks).
Bytes makeInput(size_t size, uint32_t seed, bool noiseOnly = false) {
  Bytes bytes(size);
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    state = state * 1664525u + 1013904223u;
    const uint8_t noise = static_cast<uint8_t>(state >> 24);
    bytes[i] = noiseOnly || i < 64 || (state >> 20) % 4 == 0 ? noise : bytes[i - 37];
  }
  return bytes;
}

Bytes compress(const Bytes& input, int level) {
  libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
  EXPECT_NE(compressor, nullptr);
  Bytes out(libdeflate_deflate_compress_bound(compressor, input.size()) + kOpenStreamExtraBytes);
  const size_t length =
      libdeflate_deflate_compress(compressor, input.data(), input.size(), out.data(), out.size());
  libdeflate_free_compressor(compressor);
  EXPECT_GT(length, 0u);
  out.resize(length);
  return out;
}

// The stream opened (room made for what opening adds); empty when open refuses it.
Bytes opened(DeflateStreamOpener& opener, Bytes stream, size_t plainBytes) {
  const size_t length = stream.size();
  stream.resize(length + kOpenStreamExtraBytes);
  const size_t newLength = opener.open(stream.data(), length, plainBytes);
  stream.resize(newLength);
  return stream;
}

// What zlib inflates a raw deflate stream to; empty unless it is one whole sound stream.
Bytes inflateRaw(const Bytes& stream, size_t expected) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return Bytes();
  Bytes out(expected + 1);
  z.next_in = const_cast<uint8_t*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int status = inflate(&z, Z_FINISH);
  const bool whole = status == Z_STREAM_END && z.avail_in == 0;
  out.resize(z.total_out);
  inflateEnd(&z);
  return whole ? out : Bytes();
}

TEST(DeflateJoin, OpenedStreamsJoinIntoOneStreamOfAllTheirBytes) {
  DeflateStreamOpener opener;  // one opener for every stream, as a thread keeps it
  size_t cases = 0;
  size_t grown[kOpenStreamExtraBytes + 1] = {};  // by how many bytes the first stream grew
  for (int level : {1, 6, 7, 12}) {
    for (size_t size : {size_t{1}, size_t{2}, size_t{50}, size_t{999}, size_t{70000}}) {
      for (uint32_t seed = 0; seed < 6; ++seed) {
        const Bytes a = makeInput(size + seed, seed);
        const Bytes b = makeInput(size * 3 + 7 * seed, seed + 100, seed % 2 == 1);
        const Bytes c = makeInput(size + 11, seed + 200);
        const Bytes first = compress(a, level);
        Bytes joined = opened(opener, first, a.size());
        ASSERT_FALSE(joined.empty()) << level << " " << size << " " << seed;
        ASSERT_LE(joined.size() - first.size(), kOpenStreamExtraBytes);
        ++grown[joined.size() - first.size()];
        const Bytes second = opened(opener, compress(b, level), b.size());
        ASSERT_FALSE(second.empty()) << level << " " << size << " " << seed;
        const Bytes last = compress(c, level);
        joined.insert(joined.end(), second.begin(), second.end());
        joined.insert(joined.end(), last.begin(), last.end());
        Bytes whole = a;
        whole.insert(whole.end(), b.begin(), b.end());
        whole.insert(whole.end(), c.begin(), c.end());
        EXPECT_EQ(inflateRaw(joined, whole.size()), whole) << level << " " << size << " " << seed;
        ++cases;
      }
    }
  }
  // A long input spans several blocks: only the last block's final bit may be cleared.
  const Bytes big = makeInput(size_t{3} << 20, 7);
  const Bytes tail = makeInput(100, 8);
  Bytes joined = opened(opener, compress(big, 6), big.size());
  ASSERT_FALSE(joined.empty());
  const Bytes last = compress(tail, 6);
  joined.insert(joined.end(), last.begin(), last.end());
  Bytes whole = big;
  whole.insert(whole.end(), tail.begin(), tail.end());
  EXPECT_EQ(inflateRaw(joined, whole.size()), whole);
  EXPECT_EQ(cases, 120u);
  // Streams ending with room for the empty block's header bits and streams without.
  EXPECT_GT(grown[4], 0u);
  EXPECT_GT(grown[5], 0u);
}

TEST(DeflateJoin, StreamsThatAreNotWholeOrOfAnotherLengthAreRefused) {
  DeflateStreamOpener opener;
  const Bytes input = makeInput(5000, 3);
  const Bytes stream = compress(input, 6);
  EXPECT_TRUE(opened(opener, stream, input.size() - 1).empty()) << "decodes to more";
  EXPECT_TRUE(opened(opener, stream, input.size() + 1).empty()) << "decodes to less";
  EXPECT_TRUE(opened(opener, Bytes(stream.begin(), stream.end() - 3), input.size()).empty())
      << "cut short";
  Bytes trailing = stream;
  trailing.push_back(0);
  EXPECT_TRUE(opened(opener, trailing, input.size()).empty()) << "bytes after the end";
  Bytes damaged = stream;
  damaged[0] |= 6;  // block type 3 does not exist
  EXPECT_TRUE(opened(opener, damaged, input.size()).empty()) << "damaged";
  EXPECT_TRUE(opened(opener, Bytes(), 0).empty()) << "nothing";
  // The opener is still sound after refusals.
  EXPECT_FALSE(opened(opener, stream, input.size()).empty());
}

}  // namespace
}  // namespace quorvel
