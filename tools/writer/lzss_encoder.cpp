#include "tools/writer/lzss_encoder.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace quorvel::writer {

namespace {

constexpr size_t kWindow = 4096;
constexpr size_t kFirstWrite = 4078;
constexpr size_t kMinMatch = 3;
constexpr size_t kMaxMatch = 18;
constexpr size_t kHashBits = 15;

size_t hash3(const uint8_t* p) {
  return ((p[0] << 10) ^ (p[1] << 5) ^ p[2]) & ((size_t{1} << kHashBits) - 1);
}

// Collects items into groups of eight behind one flag byte.
class GroupWriter {
 public:
  explicit GroupWriter(Bytes& out) : out_(out) {}
  void literal(uint8_t b) {
    begin();
    out_[flagAt_] |= static_cast<uint8_t>(1 << count_);
    out_.push_back(b);
    ++count_;
  }
  void match(size_t windowPosition, size_t length) {
    begin();
    out_.push_back(static_cast<uint8_t>(windowPosition));
    out_.push_back(static_cast<uint8_t>(((windowPosition >> 4) & 0xF0) | (length - kMinMatch)));
    ++count_;
  }

 private:
  void begin() {
    if (count_ < 8) return;
    flagAt_ = out_.size();
    out_.push_back(0);
    count_ = 0;
  }
  Bytes& out_;
  size_t flagAt_ = 0;
  int count_ = 8;
};

}  // namespace

Bytes lzssEncode(const Bytes& input, int maxChain) {
  // The history is modelled linearly: kWindow zero bytes (the initial window) then the input.
  Bytes text(kWindow, 0);
  text.insert(text.end(), input.begin(), input.end());
  std::vector<int32_t> head(size_t{1} << kHashBits, -1);
  std::vector<int32_t> previous(text.size(), -1);
  auto insert = [&](size_t i) {
    if (i + kMinMatch > text.size()) return;
    size_t h = hash3(&text[i]);
    previous[i] = head[h];
    head[h] = static_cast<int32_t>(i);
  };
  // Only the last stretch of the zero window needs indexing: one zero run reaches all of it.
  for (size_t i = kWindow - kMaxMatch; i < kWindow; ++i) insert(i);

  Bytes out;
  GroupWriter groups(out);
  size_t i = kWindow;
  while (i < text.size()) {
    size_t limit = std::min(kMaxMatch, text.size() - i);
    size_t bestLength = 0;
    size_t bestFrom = 0;
    if (limit >= kMinMatch) {
      int32_t candidate = head[hash3(&text[i])];
      for (int chain = 0; candidate >= 0 && chain < maxChain; ++chain) {
        size_t from = static_cast<size_t>(candidate);
        if (i - from > kWindow) break;
        size_t length = 0;
        while (length < limit && text[from + length] == text[i + length]) ++length;
        if (length > bestLength) {
          bestLength = length;
          bestFrom = from;
          if (length == limit) break;
        }
        candidate = previous[from];
      }
    }
    size_t step = 1;
    if (bestLength >= kMinMatch) {
      // Window position of text index j: (4078 + (j - kWindow)) mod 4096.
      groups.match((kFirstWrite + bestFrom - kWindow) & (kWindow - 1), bestLength);
      step = bestLength;
    } else {
      groups.literal(text[i]);
    }
    for (size_t k = 0; k < step; ++k) insert(i + k);
    i += step;
  }
  return out;
}

}  // namespace quorvel::writer
