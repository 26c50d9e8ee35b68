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
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvel {

std::vector<uint8_t> lzssEncode(const uint8_t* bytes, size_t size);

inline std::vector<uint8_t> lzssEncode(const std::vector<uint8_t>& bytes) {
  return lzssEncode(bytes.data(), bytes.size());
}

}  // namespace quorvel
