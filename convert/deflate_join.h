// Raw deflate streams compressed on their own, made into pieces of one stream.
//
// A deflate stream ends with a block whose first header bit ("final") is set. A compressor without
// a flush (libdeflate) always ends its output so; to let another stream follow, that bit is
// cleared and the stream is brought to a byte boundary by an empty stored block (header bits
// 000, padding, length 00 00 and its complement FF FF), as a sync flush would end it. Where the
// last block's header lies is only known by decoding the blocks, so zlib's inflate walks them one
// at a time (it stops at each block boundary and reports the bits it holds).
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvel {

// Bytes that opening a stream may add: at most one byte for the empty block's header bits and
// four for its lengths.
constexpr size_t kOpenStreamExtraBytes = 5;

class DeflateStreamOpener {
 public:
  DeflateStreamOpener() = default;
  DeflateStreamOpener(const DeflateStreamOpener&) = delete;
  DeflateStreamOpener& operator=(const DeflateStreamOpener&) = delete;
  ~DeflateStreamOpener();

  // Rewrites the complete raw deflate stream of `length` bytes at `stream`, which decodes to
  // `plainBytes` bytes, so that it no longer ends the whole: its last block not final, an empty
  // stored block behind it. `stream` has room for kOpenStreamExtraBytes more. Answers the new
  // length; 0 when the bytes are not one complete stream of that many plain bytes, or zlib fails.
  size_t open(uint8_t* stream, size_t length, size_t plainBytes);

 private:
  bool ready();

  z_stream inflater_{};
  bool initialised_ = false;
  std::vector<uint8_t> plain_;  // where the decoded bytes go (only the walk through blocks counts)
};

}  // namespace quorvel
