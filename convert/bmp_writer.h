// BMP files: the 14-byte file header ("BM", file size, pixel data offset), the 40-byte info
// header, at 8 bits the 256-entry colour table, then the bottom-up pixel rows as decoded.
#pragma once

#include "convert/picture_writer.h"

namespace quorvel {

// WriteError when the file cannot be created or written whole; nothing is left behind then.
ResultCode writeBmpFile(const char* path, const DibView& picture);

}  // namespace quorvel
