// Little-endian loads and stores, and the bounded view through which every decoder and reader
// looks at file bytes: check once per record, run or row, then read without further tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quorvel {

inline uint16_t loadU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline int16_t loadI16(const uint8_t* p) {
  return static_cast<int16_t>(loadU16(p));
}
inline uint32_t loadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t loadI32(const uint8_t* p) {
  return static_cast<int32_t>(loadU32(p));
}

inline void storeU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void storeU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// A read-only window on bytes that knows its length.
class ByteView {
 public:
  ByteView() = default;
  ByteView(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  // True when [offset, offset + count) lies inside the view; never overflows.
  bool contains(uint64_t offset, uint64_t count) const {
    return offset <= size_ && count <= size_ - offset;
  }
  // The caller has checked contains() for the bytes it reads.
  const uint8_t* at(size_t offset) const { return data_ + offset; }
  uint16_t u16(size_t offset) const { return loadU16(data_ + offset); }
  int16_t i16(size_t offset) const { return loadI16(data_ + offset); }
  uint32_t u32(size_t offset) const { return loadU32(data_ + offset); }
  int32_t i32(size_t offset) const { return loadI32(data_ + offset); }

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

// Sequential reading with bounds: every take fails instead of running past the end.
class ByteCursor {
 public:
  explicit ByteCursor(ByteView view, size_t position = 0) : view_(view), position_(position) {}

  size_t position() const { return position_; }
  size_t remaining() const { return position_ <= view_.size() ? view_.size() - position_ : 0; }
  bool has(uint64_t count) const { return view_.contains(position_, count); }
  // Returns the start of the next count bytes and moves past them, or null when they are not
  // all there (the position is then left unchanged).
  const uint8_t* take(uint64_t count) {
    if (!has(count)) return nullptr;
    const uint8_t* p = view_.at(position_);
    position_ += static_cast<size_t>(count);
    return p;
  }
  bool readU32(uint32_t& value) {
    const uint8_t* p = take(4);
    if (p == nullptr) return false;
    value = loadU32(p);
    return true;
  }

 private:
  ByteView view_;
  size_t position_;
};

}  // namespace quorvel
