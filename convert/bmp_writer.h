// BMP files: the 14-byte file header ("BM", file size, pixel data offset), the 40-byte info
// header, at 8 bits the 256-entry colour table, then the bottom-up pixel rows as decoded.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/picture_writer.h"
#include "platform/output_file.h"

namespace quorvel {

constexpr size_t kBmpFileHeaderBytes = 14;

// Creates the file and writes everything before the pixel rows: the file header, the info
// header and the colour table (when palette is not null); false on failure.
bool startBmpFile(OutputFile& out, const char* path, const BitmapInfoHeader& header,
                  const RgbQuad* palette);

// WriteError when the file cannot be created or written whole; nothing is left behind then.
ResultCode writeBmpFile(const char* path, const DibView& picture);

}  // namespace quorvel
