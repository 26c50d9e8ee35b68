// One zlib stream compressed in pieces on several threads: zlib inflates it to the input (which
// checks the header and the joined Adler-32 too) at every level, the workspaces kept between
// streams follow each stream's level, its bytes do not depend on the number of threads, and a
// piece the sink refuses stops it cleanly.
#include "convert/parallel_deflate.h"

#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

namespace quorvel {
namespace {

using Bytes = std::vector<uint8_t>;

// Pieces of the given sizes of one long sequence with repeats (that deflate finds) and variety.
class SizedPieces final : public DeflateInput {
 public:
  explicit SizedPieces(std::vector<size_t> sizes) : sizes_(std::move(sizes)) {
    for (size_t size : sizes_) {
      starts_.push_back(total_);
      total_ += size;
    }
  }
  size_t pieceCount() const override { return sizes_.size(); }
  size_t pieceBytes(size_t piece) const override { return sizes_[piece]; }
  bool makePiece(size_t piece, uint8_t* out, std::vector<uint8_t>&) const override {
    if (piece == failAt) throw std::bad_alloc();
    if (piece == unreadableAt) return false;
    for (size_t i = 0; i < sizes_[piece]; ++i) out[i] = byteAt(starts_[piece] + i);
    return true;
  }
  Bytes whole() const {
    Bytes bytes(total_);
    for (size_t i = 0; i < total_; ++i) bytes[i] = byteAt(i);
    return bytes;
  }

  size_t failAt = SIZE_MAX;        // the piece whose making runs out of memory
  size_t unreadableAt = SIZE_MAX;  // the piece whose source cannot be read

 private:
  static uint8_t byteAt(size_t i) { return static_cast<uint8_t>(i / 7 + (i >> 10) * (i % 13)); }

  std::vector<size_t> sizes_;
  std::vector<size_t> starts_;
  size_t total_ = 0;
};

struct Stream {
  ResultCode result = ResultCode::OtherError;
  Bytes bytes;
  size_t pieces = 0;
};

constexpr size_t kFront = 8;
constexpr size_t kBack = 4;

// The pieces as the sink gets them, laid one after the other.
Stream deflateAll(const DeflateInput& input, WorkerBudget* workers, size_t refuseAt = SIZE_MAX,
                  int level = 6) {
  Stream stream;
  DeflateSettings settings;
  settings.level = level;
  settings.front = kFront;
  settings.back = kBack;
  stream.result = deflateInPieces(input, settings, workers, [&](DeflatedPiece& piece) {
    EXPECT_EQ(piece.front, kFront);
    EXPECT_EQ(piece.buffer.size(), kFront + piece.length + kBack);
    const uint8_t* start = piece.buffer.data() + piece.front;
    stream.bytes.insert(stream.bytes.end(), start, start + piece.length);
    return stream.pieces++ != refuseAt;
  });
  return stream;
}

// What zlib inflates the stream to; empty unless the whole stream is one sound zlib stream.
Bytes inflateAll(const Bytes& stream, size_t expected) {
  Bytes out(expected + 1);
  uLongf written = out.size();
  uLong read = stream.size();
  if (uncompress2(out.data(), &written, stream.data(), &read) != Z_OK || read != stream.size()) {
    return Bytes();
  }
  out.resize(written);
  return out;
}

TEST(ParallelDeflate, PiecesFormOneZlibStreamOfTheWholeInput) {
  const std::vector<std::vector<size_t>> layouts = {
      {1000},                          // a lone piece: a whole zlib stream by itself
      {0},                             // nothing at all
      {1, 70000, 5},                   // tiny and large pieces
      {5000, 0, 5000},                 // an empty piece between two
      std::vector<size_t>(24, 65536),  // more pieces than threads
  };
  for (int level : {1, 6, 7, 12}) {  // the zlib header's level hint differs among them
    for (const std::vector<size_t>& sizes : layouts) {
      SizedPieces input(sizes);
      WorkerBudget workers(4);
      Stream stream = deflateAll(input, &workers, SIZE_MAX, level);
      ASSERT_EQ(stream.result, ResultCode::Success) << sizes.size() << " pieces";
      EXPECT_EQ(stream.pieces, sizes.size());
      Bytes whole = input.whole();
      EXPECT_EQ(inflateAll(stream.bytes, whole.size()), whole)
          << sizes.size() << " pieces at level " << level;
    }
  }
}

// The workspaces (and their compressors) are kept from one stream to the next: each stream is
// still compressed at its own level, byte for byte as a fresh compressor does, also after a stream
// of pieces too large to keep buffers for.
TEST(ParallelDeflate, KeptWorkspacesFollowEachStreamsLevel) {
  SizedPieces input({100000});
  const Bytes whole = input.whole();
  SizedPieces huge({size_t{9} << 20, 1000});
  for (int level : {1, 12, 7, 1, 12}) {
    WorkerBudget workers(2);
    Stream stream = deflateAll(input, &workers, SIZE_MAX, level);
    ASSERT_EQ(stream.result, ResultCode::Success);
    libdeflate_compressor* fresh = libdeflate_alloc_compressor(level);
    ASSERT_NE(fresh, nullptr);
    Bytes body(libdeflate_deflate_compress_bound(fresh, whole.size()));
    body.resize(
        libdeflate_deflate_compress(fresh, whole.data(), whole.size(), body.data(), body.size()));
    libdeflate_free_compressor(fresh);
    ASSERT_EQ(stream.bytes.size(), 2 + body.size() + 4) << level;
    EXPECT_TRUE(std::equal(body.begin(), body.end(), stream.bytes.begin() + 2)) << level;
    Stream large = deflateAll(huge, &workers, SIZE_MAX, level);
    ASSERT_EQ(large.result, ResultCode::Success);
    EXPECT_EQ(inflateAll(large.bytes, huge.whole().size()), huge.whole()) << level;
  }
}

TEST(ParallelDeflate, BytesAreTheSameWhateverTheThreads) {
  SizedPieces input(std::vector<size_t>(16, 100003));
  Stream alone = deflateAll(input, nullptr);
  ASSERT_EQ(alone.result, ResultCode::Success);
  for (int threads : {1, 2, 3, 8}) {
    WorkerBudget workers(threads);
    Stream stream = deflateAll(input, &workers);
    EXPECT_EQ(stream.result, ResultCode::Success) << threads;
    EXPECT_EQ(stream.bytes, alone.bytes) << threads << " threads";
    // Every thread taken is given back.
    int spare = 0;
    while (workers.takeSpare()) ++spare;
    EXPECT_EQ(spare, threads - 1);
  }
}

TEST(ParallelDeflate, ARefusedPieceStopsTheStream) {
  SizedPieces input(std::vector<size_t>(40, 50000));
  for (size_t refuseAt : {size_t{0}, size_t{2}, size_t{39}}) {
    WorkerBudget workers(4);
    Stream stream = deflateAll(input, &workers, refuseAt);
    EXPECT_EQ(stream.result, ResultCode::WriteError) << refuseAt;
    EXPECT_EQ(stream.pieces, refuseAt + 1) << "no piece after the refused one";
  }
  EXPECT_EQ(deflateAll(SizedPieces({}), nullptr).result, ResultCode::WriteError);
}

// A piece that cannot be made, for want of memory or of its source's bytes, stops the stream.
TEST(ParallelDeflate, APieceThatCannotBeMadeStopsTheStream) {
  for (bool unreadable : {false, true}) {
    for (size_t failAt : {size_t{0}, size_t{5}, size_t{19}}) {
      SizedPieces input(std::vector<size_t>(20, 50000));
      (unreadable ? input.unreadableAt : input.failAt) = failAt;
      WorkerBudget workers(3);
      Stream stream = deflateAll(input, &workers);
      EXPECT_EQ(stream.result, unreadable ? ResultCode::ReadError : ResultCode::OutOfMemory)
          << failAt;
      EXPECT_LE(stream.pieces, failAt) << "nothing from the failed piece on";
    }
  }
}

}  // namespace
}  // namespace quorvel
