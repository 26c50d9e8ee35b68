// PNG files of decoded pictures: rows filtered by convert/png_filter.h (one filter per piece,
// chosen by trial), deflate and CRC from libdeflate, chunks framed by stb_image_write's helpers.
// The rows are deflated in pieces of a fixed size side by side on the run's spare threads
// (convert/parallel_deflate.h), one IDAT chunk per piece; the file's bytes do not depend on the
// number of threads.
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

#include <cstddef>
#include <cstdint>
#include <vector>

#include "convert/picture_writer.h"
#include "convert/sliced_bmp.h"
#include "convert/worker_budget.h"

namespace quorvel {

// Uncompressed bytes (filter bytes included) per piece of the rows' zlib stream, and so per IDAT
// chunk: whole rows, at least one. Pictures up to this size are encoded on one thread.
constexpr size_t kPngPieceBytes = size_t{1} << 20;

// The whole PNG file in memory, compressed on the calling thread and the spare ones of workers
// (none: the calling thread alone). WriteError when the picture is too large (about 2 GiB of
// filtered rows) or the library fails, OutOfMemory when the encoder's buffers cannot be
// allocated; png is left empty then.
ResultCode encodePng(const DibView& picture, std::vector<uint8_t>& png,
                     WorkerBudget* workers = nullptr);

// Writes encodePng's bytes to path; any failure leaves no file and answers WriteError (or
// OutOfMemory, as encodePng).
ResultCode writePngFile(const char* path, const DibView& picture, WorkerBudget* workers = nullptr);

// The same file as writePngFile for a picture whose rows are made on demand instead of held
// whole: each piece's rows (and the row above it) are made, through picture.makeRows, on the
// thread that compresses the piece, so the picture is never whole in memory. The bytes are those
// of writePngFile for the same rows. ReadError when rows cannot be made (no file is left then).
ResultCode writePngInSlices(const char* path, const SlicedPicture& picture,
                            WorkerBudget* workers = nullptr);

// True when a PNG of this size and channel count (1, 3 or 4) fits the encoder's buffers.
bool pngSizeAcceptable(int64_t width, int64_t height, int channels);

}  // namespace quorvel
