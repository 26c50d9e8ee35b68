// An LZSS decoder as another reader of the archive format may write it: the whole window filled
// with bytes of its choice before the first write (zeros, spaces, anything). A stream the packer
// writes must decode to the same bytes under every fill.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvel::test {

using WindowFill = std::array<uint8_t, 4096>;

// 0x00, 0x20, 0xFF, and a random pattern.
std::vector<WindowFill> windowFills();

// Up to size bytes decoded from stream (fewer when it ends first).
std::vector<uint8_t> decodeWithWindowFill(const std::vector<uint8_t>& stream, size_t size,
                                          const WindowFill& fill);

}  // namespace quorvel::test
