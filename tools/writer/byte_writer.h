// Little-endian appender used by the writers of test inputs and samples.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace quorvel::writer {

using Bytes = std::vector<uint8_t>;

class ByteWriter {
 public:
  ByteWriter& u8(uint32_t v) {
    bytes_.push_back(static_cast<uint8_t>(v));
    return *this;
  }
  ByteWriter& u16(uint32_t v) { return u8(v).u8(v >> 8); }
  ByteWriter& u32(uint32_t v) { return u16(v).u16(v >> 16); }
  ByteWriter& text(std::string_view s) {
    bytes_.insert(bytes_.end(), s.begin(), s.end());
    return *this;
  }
  ByteWriter& raw(std::span<const uint8_t> b) {
    bytes_.insert(bytes_.end(), b.begin(), b.end());
    return *this;
  }
  ByteWriter& zeros(size_t count) {
    bytes_.insert(bytes_.end(), count, 0);
    return *this;
  }
  size_t size() const { return bytes_.size(); }
  Bytes& bytes() { return bytes_; }
  Bytes take() { return std::move(bytes_); }

 private:
  Bytes bytes_;
};

// Writes bytes to a file; false on failure.
bool saveFile(const char* path, const Bytes& bytes);

}  // namespace quorvel::writer
