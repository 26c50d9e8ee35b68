#include "convert/deflate_join.h"

#include <climits>

namespace quorvel {

namespace {

// inflate's data_type: bits held but not used (low three bits), "in the last block" and "stopped
// at a block boundary".
constexpr int kUnusedBitsMask = 7;
constexpr int kLastBlockFlag = 64;
constexpr int kBlockBoundaryFlag = 128;
constexpr int kRawWindowBits = -15;
// An empty stored block needs three header bits before the byte boundary.
constexpr unsigned kStoredHeaderBits = 3;

}  // namespace

DeflateStreamOpener::~DeflateStreamOpener() {
  if (initialised_) inflateEnd(&inflater_);
}

bool DeflateStreamOpener::ready() {
  if (initialised_) return inflateReset(&inflater_) == Z_OK;
  inflater_ = z_stream{};
  initialised_ = inflateInit2(&inflater_, kRawWindowBits) == Z_OK;
  return initialised_;
}

size_t DeflateStreamOpener::open(uint8_t* stream, size_t length, size_t plainBytes) {
  if (length == 0 || length > UINT_MAX || plainBytes >= UINT_MAX || !ready()) return 0;
  plain_.resize(plainBytes + 1);  // one more: a stream that decodes to more is refused
  inflater_.next_in = stream;
  inflater_.avail_in = static_cast<uInt>(length);
  inflater_.next_out = plain_.data();
  inflater_.avail_out = static_cast<uInt>(plain_.size());
  uint64_t lastHeaderBit = 0;  // the first block's header starts the stream
  uint64_t endBit = 0;
  for (;;) {
    if (inflate(&inflater_, Z_BLOCK) != Z_OK) return 0;
    const int state = inflater_.data_type;
    if ((state & kBlockBoundaryFlag) == 0) {
      if (inflater_.avail_in == 0 || inflater_.avail_out == 0) return 0;  // cut short or too long
      continue;
    }
    const uint64_t usedBits = uint64_t{8} * (length - inflater_.avail_in) -
                              static_cast<unsigned>(state & kUnusedBitsMask);
    if ((state & kLastBlockFlag) != 0) {
      endBit = usedBits;
      break;
    }
    lastHeaderBit = usedBits;
  }
  if (inflater_.total_out != plainBytes || (endBit + 7) / 8 != length) return 0;

  stream[lastHeaderBit / 8] &= static_cast<uint8_t>(~(1u << (lastHeaderBit % 8)));
  const unsigned usedInLastByte = static_cast<unsigned>(endBit % 8);
  size_t end = length;
  if (usedInLastByte != 0) {
    stream[end - 1] &= static_cast<uint8_t>((1u << usedInLastByte) - 1);  // padding is zero
  }
  if (usedInLastByte == 0 || 8 - usedInLastByte < kStoredHeaderBits) stream[end++] = 0;
  stream[end++] = 0x00;
  stream[end++] = 0x00;
  stream[end++] = 0xFF;
  stream[end++] = 0xFF;
  return end;
}

}  // namespace quorvel
