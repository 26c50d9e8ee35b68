#include "tests/support/window_fill_decoder.h"

#include <random>

namespace quorvel::test {

std::vector<WindowFill> windowFills() {
  std::vector<WindowFill> fills(4);
  fills[0].fill(0x00);
  fills[1].fill(0x20);
  fills[2].fill(0xFF);
  std::mt19937 random(4078);
  for (uint8_t& b : fills[3]) b = static_cast<uint8_t>(random());
  return fills;
}

std::vector<uint8_t> decodeWithWindowFill(const std::vector<uint8_t>& stream, size_t size,
                                          const WindowFill& fill) {
  WindowFill window = fill;
  std::vector<uint8_t> out;
  size_t write = 4078;
  size_t in = 0;
  unsigned flags = 0;
  while (out.size() < size && in < stream.size()) {
    if ((flags & 0x100) == 0) flags = stream[in++] | 0xFF00u;
    if (in >= stream.size()) break;
    if (flags & 1) {
      out.push_back(stream[in]);
      window[write++ & 4095] = stream[in++];
    } else {
      if (in + 1 >= stream.size()) break;
      size_t from = stream[in] | ((stream[in + 1] & 0xF0u) << 4);
      size_t length = (stream[in + 1] & 0x0Fu) + 3;
      in += 2;
      for (size_t k = 0; k < length && out.size() < size; ++k) {
        uint8_t b = window[(from + k) & 4095];
        out.push_back(b);
        window[write++ & 4095] = b;
      }
    }
    flags >>= 1;
  }
  return out;
}

}  // namespace quorvel::test
