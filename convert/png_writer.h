// PNG files of decoded pictures, encoded by stb_image_write with zlib as its compressor (deflate
// and CRC come from zlib; chunks and row filters from stb_image_write).
//
// How DIB pixels become PNG pixels:
// - 8 bits with the grey ramp as colour table (entry i is i, i, i): 8-bit grey. Any other colour
//   table: 8-bit RGB of each pixel's entry; the table's fourth bytes are not colours.
// - 16 bits (5-5-5): 8-bit RGB, each 5-bit channel widened by repeating its top bits
//   (v << 3 | v >> 2, the nearest 8-bit value of v / 31); the top bit of the pixel is not used.
// - 24 bits: RGB.
// - 32 bits: RGBA with straight (not premultiplied) alpha: the fourth byte is the opacity, 0
//   transparent to 255 opaque, and the colours are the stored ones.
//   A plain 32-bit picture stores its alpha exactly so: with -png -raw its PNG alpha is the stored
//   alpha byte and its colours are the stored colours, unchanged (a picture packed from such a
//   PNG stores the PNG's alpha and colours as they are). The tiled formats' raw output is the same
//   kind (empty cells transparent black). Layered and run-stream pictures keep a 7-bit alpha in
//   another convention; their decoders' straight output (AlphaOutput::Straight) gives this form.
#pragma once

#include <cstdint>
#include <vector>

#include "convert/picture_writer.h"

namespace quorvel {

// The whole PNG file in memory. WriteError when the picture is too large for the encoder's row
// buffer (about 2 GiB of filtered rows) or the library fails, OutOfMemory when the top-down copy
// of the pixels cannot be allocated; png is left empty then.
ResultCode encodePng(const DibView& picture, std::vector<uint8_t>& png);

// Writes encodePng's bytes to path; any failure leaves no file and answers WriteError (or
// OutOfMemory, as encodePng).
ResultCode writePngFile(const char* path, const DibView& picture);

// True when a PNG of this size and channel count (1, 3 or 4) fits the encoder's buffers.
bool pngSizeAcceptable(int64_t width, int64_t height, int channels);

}  // namespace quorvel
