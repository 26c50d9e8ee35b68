// lzssDecode on a hostile stream with its reader bounded to the input: the first four bytes give
// the unpacked size (kept below 1 MiB), the rest is the stream, held in a block of its own size.
// The decode must stop at the end of the stream, never read past it and never write past the
// output block.
#include <cstdlib>
#include <cstring>

#include "archive/lzss.h"
#include "decoders/bytes.h"
#include "fuzz/fuzz_support.h"

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  uint32_t unpacked = loadU32(data) & 0xFFFFF;
  size_t streamBytes = size - 4;
  auto* stream = static_cast<uint8_t*>(std::malloc(streamBytes == 0 ? 1 : streamBytes));
  if (streamBytes > 0) std::memcpy(stream, data + 4, streamBytes);
  auto* out = static_cast<uint8_t*>(std::malloc(unpacked == 0 ? 1 : unpacked));
  LzssReader reader = LzssReader::fromMemory(stream, streamBytes);
  uint32_t produced = lzssDecode(reader, nullptr, out, unpacked);
  if (produced > unpacked) fuzz::fail("more bytes produced than asked for");
  // Each input byte yields at most nine output bytes (a two-byte match gives up to 18).
  if (produced > static_cast<uint64_t>(streamBytes) * kLzssMaxExpansion) {
    fuzz::fail("output without input behind it");
  }
  std::free(out);
  std::free(stream);
  return 0;
}
