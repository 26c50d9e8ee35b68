// lzssDecode on a hostile stream whose reader is bounded to the input: the first four bytes
// are the unpacked size (kept below 1 MiB), the rest is the stream. The decode must stop at the
// end of the stream and never write past the output block.
#include <cstdlib>
#include <filesystem>

#include "archive/lzss.h"
#include "decoders/bytes.h"
#include "fuzz/fuzz_support.h"
#include "platform/file_handle.h"
#include "tools/writer/byte_writer.h"

namespace fs = std::filesystem;
using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  uint32_t unpacked = loadU32(data) & 0xFFFFF;
  fs::path input = fuzz::scratchFolder() / "stream.bin";
  if (!writer::saveFile(input.c_str(), writer::Bytes(data + 4, data + size))) {
    fuzz::fail("cannot write the input file");
  }
  FileHandle file;
  if (file.open(input.c_str(), 1) == kInvalidFile) fuzz::fail("cannot open the input file");
  // The output block is exactly as large as asked, so that ASan sees any write past it.
  auto* out = static_cast<uint8_t*>(std::malloc(unpacked == 0 ? 1 : unpacked));
  LzssReader reader{};
  lzssDecode(reader, file, out, unpacked);
  std::free(out);
  return 0;
}
