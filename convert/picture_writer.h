// The files a conversion writes for its pictures, BMP or PNG, behind one small interface: the
// extension of a format's files and the function that writes one decoded picture under its final
// name (through a temporary name, renamed into place only when complete).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "convert/conversion_options.h"
#include "decoders/dib.h"
#include "decoders/result_code.h"

namespace quorvel {

// A decoded picture as the decoders hand it over: the BITMAPINFOHEADER, at 8 bits the 256-entry
// colour table, and the pixel rows, bottom-up and padded to 4 bytes. The bits hold at least
// dibImageBytes(header) bytes. 32-bit pixels are blue, green, red and a fourth byte that the
// PNG writer reads as straight alpha (see png_writer.h).
struct DibView {
  const BitmapInfoHeader* header = nullptr;
  const RgbQuad* palette = nullptr;  // 256 entries at 8 bits, else null
  const uint8_t* bits = nullptr;
  size_t bitsBytes = 0;
};

struct PictureWriter {
  const char* extension;  // ".bmp" or ".png"
  ResultCode (*writeFile)(const char* path, const DibView& picture, WorkerBudget* workers);
  WorkerBudget* workers;  // the run's threads, for a writer that can use more than one

  ResultCode write(const char* path, const DibView& picture) const {
    return writeFile(path, picture, workers);
  }
};

// The writer of the conversion's picture format.
PictureWriter pictureWriterFor(const ConversionOptions& options);

// name followed by the format's extension; false when the result does not fit a path buffer
// (the file would land under a truncated name).
bool appendExtension(std::string& name, const PictureWriter& writer);

}  // namespace quorvel
