// Writer of BMP files for tests and fuzz seeds, in the layouts other programs write as well as
// quorvel's own: any info header size, colour masks, top-down rows, any depth and compression
// value (hostile files included: nothing is checked).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/writer/byte_writer.h"

namespace quorvel::writer {

struct BmpFile {
  int32_t width = 0;
  int32_t height = 0;  // negative: the rows are stored top-down
  uint16_t bitCount = 24;
  uint32_t compression = 0;
  uint32_t headerSize = 40;     // 40, or 52, 56, 108, 124 with the masks inside the header
  std::vector<uint32_t> masks;  // red, green, blue[, alpha]: behind a 40-byte header, else inside
  Bytes palette;                // 4 bytes per colour
  uint32_t coloursUsed = 0;
  Bytes rows;  // the picture's rows from the top, each (width x bitCount + 7) / 8 bytes
};

// Rows are padded to 4 bytes and stored bottom-up unless the height is negative.
Bytes writeBmp(const BmpFile& bmp);

// One small BMP of every layout the packer reads (1, 4, 8, 16, 24 and 32 bits, masks, newer
// headers, top-down rows), by name: seeds for the fuzz target.
std::vector<std::pair<std::string, BmpFile>> seedBmps();

}  // namespace quorvel::writer
