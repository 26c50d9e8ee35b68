// LZSS encoder: writes the stream that lzssDecode (archive/lzss.h) turns back into the input.
// The format: a 4096-byte window, all zero at the start with the first write at 4078; flag bytes
// whose bits, least significant first, announce a literal (bit set, one byte) or a match (bit
// clear, two bytes: 12-bit window position, 4-bit length - 3, lengths 3 to 18).
//
// The stream is self-contained: every match copies bytes the stream has already produced, so it
// decodes to the same bytes whatever a reader fills its window with before the first write.
//
// Every position's longest match in the window is found through hash chains; then a shortest-path
// parse chooses between a literal and each match length so that the stream is as short as those
// matches allow (a literal costs 9 bits, a match 17, flag bits included). A greedy encoder takes
// the longest match wherever one starts, which is often one or two bits per item too many.
//
// A large input is encoded in pieces of a fixed size side by side. Each piece's search starts with
// the input before it as its history, exactly as one encoder running over the whole input would
// have it, so every piece finds the same matches and the stream is the same whatever the thread
// count. The pieces' items are then joined in order, so that the groups of eight items behind one
// flag byte run on across them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvel {

class WorkerBudget;

// The pieces' size. Small enough that a large picture member keeps every thread busy, large
// enough that setting up each piece's search costs little.
constexpr size_t kLzssPieceBytes = size_t{1} << 20;

// The stream of the input, its pieces encoded on the calling thread and on the spare threads of
// the budget (none without one). pieceBytes is rounded up to whole parse blocks (64 KiB); only
// tests choose another than the default, which gives the same bytes.
std::vector<uint8_t> lzssEncode(const uint8_t* bytes, size_t size, WorkerBudget* budget = nullptr,
                                size_t pieceBytes = kLzssPieceBytes);

inline std::vector<uint8_t> lzssEncode(const std::vector<uint8_t>& bytes,
                                       WorkerBudget* budget = nullptr) {
  return lzssEncode(bytes.data(), bytes.size(), budget);
}

}  // namespace quorvel
