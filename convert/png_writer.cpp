#include "convert/png_writer.h"

#include <zlib.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "decoders/bytes.h"
#include "platform/output_file.h"

namespace {

// zlib's default level with the Paeth filter on every row, chosen by measurement
// (bench/png_speed.sh, 4096 x 4096 pictures): files 1.00 to 1.04 times the size of Pillow's
// default ones in 0.6 to 0.9 of its time. Trying every filter per row (stb's default) gains at
// most 4 % in size for 20 to 110 % more time; the Up and Sub filters are a little faster but up
// to 2.5 times larger; levels 5 and below are up to twice as fast but 5 % to 2.5 times larger.
constexpr int kZlibLevel = 6;
constexpr int kPaethFilter = 4;

// The compressor stb_image_write calls for the filtered rows: a zlib stream in a block from
// malloc (stb frees it), or null on failure. stb's own level is not used.
unsigned char* compressWithZlib(unsigned char* data, int length, int* compressedLength, int) {
  if (length < 0) return nullptr;
  uLong bound = compressBound(static_cast<uLong>(length));
  if (bound > static_cast<uLong>(INT_MAX)) return nullptr;
  auto* out = static_cast<unsigned char*>(std::malloc(bound));
  if (out == nullptr) return nullptr;
  uLongf written = bound;
  if (compress2(out, &written, data, static_cast<uLong>(length), kZlibLevel) != Z_OK) {
    std::free(out);
    return nullptr;
  }
  *compressedLength = static_cast<int>(written);
  return out;
}

}  // namespace

// The library, compiled into this file only: PNG writing to memory, nothing else (its folder is a
// system include folder, so its own code raises no warnings).
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#define STBIW_ZLIB_COMPRESS compressWithZlib
#define STBIW_CRC32(buffer, length) crc32(0, buffer, static_cast<uInt>(length))
#include <stb_image_write.h>

namespace quorvel {

namespace {

// The file's fixed parts around the compressed rows (signature, IHDR, IDAT and IEND chunks).
constexpr int64_t kPngOverhead = 8 + 25 + 12 + 12;

struct FreeBlock {
  void operator()(unsigned char* p) const { std::free(p); }
};
using EncodedPng = std::unique_ptr<unsigned char, FreeBlock>;

// stb reads its filter choice from a variable of this file; it is set once, before the first
// encoding, and only read afterwards.
void chooseFilter() {
  static const bool chosen = (stbi_write_force_png_filter = kPaethFilter, true);
  (void)chosen;
}

bool isGreyRamp(const RgbQuad* palette) {
  for (int i = 0; i < 256; ++i) {
    if (palette[i].blue != i || palette[i].green != i || palette[i].red != i) return false;
  }
  return true;
}

int channelsOf(const DibView& picture) {
  switch (picture.header->biBitCount) {
    case 8:
      return picture.palette == nullptr ? 0 : isGreyRamp(picture.palette) ? 1 : 3;
    case 16:
    case 24:
      return 3;
    case 32:
      return 4;
    default:
      return 0;
  }
}

uint8_t widenFiveBits(unsigned v) {
  return static_cast<uint8_t>((v << 3) | (v >> 2));
}

// One DIB row into one PNG row of `channels` bytes per pixel.
void convertRow(uint8_t* out, const uint8_t* in, size_t width, int channels,
                const DibView& picture) {
  switch (picture.header->biBitCount) {
    case 8:
      if (channels == 1) {
        std::memcpy(out, in, width);
        return;
      }
      for (size_t x = 0; x < width; ++x, out += 3) {
        const RgbQuad& colour = picture.palette[in[x]];
        out[0] = colour.red;
        out[1] = colour.green;
        out[2] = colour.blue;
      }
      return;
    case 16:
      for (size_t x = 0; x < width; ++x, in += 2, out += 3) {
        unsigned pixel = loadU16(in);
        out[0] = widenFiveBits((pixel >> 10) & 31);
        out[1] = widenFiveBits((pixel >> 5) & 31);
        out[2] = widenFiveBits(pixel & 31);
      }
      return;
    case 24:
      for (size_t x = 0; x < width; ++x, in += 3, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
      }
      return;
    default:  // 32: blue, green, red, alpha to red, green, blue, alpha
      for (size_t x = 0; x < width; ++x, in += 4, out += 4) {
        uint32_t pixel = loadU32(in);
        storeU32(out, (pixel & 0xFF00FF00u) | ((pixel & 0xFFu) << 16) | ((pixel >> 16) & 0xFFu));
      }
      return;
  }
}

ResultCode encode(const DibView& picture, EncodedPng& png, int& pngBytes) {
  const BitmapInfoHeader* header = picture.header;
  const int channels = channelsOf(picture);
  if (channels == 0 || header->biWidth < 1 || header->biHeight < 1 ||
      !pngSizeAcceptable(header->biWidth, header->biHeight, channels)) {
    return ResultCode::WriteError;
  }
  const size_t width = static_cast<size_t>(header->biWidth);
  const size_t height = static_cast<size_t>(header->biHeight);
  const size_t dibRow = static_cast<size_t>(dibRowBytes(header));
  if (dibRow * height > picture.bitsBytes) return ResultCode::WriteError;
  const size_t pngRow = width * static_cast<size_t>(channels);
  std::unique_ptr<uint8_t[]> rows(new (std::nothrow) uint8_t[pngRow * height]);
  if (!rows) return ResultCode::OutOfMemory;
  for (size_t t = 0; t < height; ++t) {
    convertRow(rows.get() + t * pngRow, picture.bits + (height - 1 - t) * dibRow, width, channels,
               picture);
  }
  chooseFilter();
  png.reset(stbi_write_png_to_mem(rows.get(), static_cast<int>(pngRow), static_cast<int>(width),
                                  static_cast<int>(height), channels, &pngBytes));
  return png ? ResultCode::Success : ResultCode::WriteError;
}

}  // namespace

bool pngSizeAcceptable(int64_t width, int64_t height, int channels) {
  if (width < 1 || height < 1 || channels < 1 || channels > 4) return false;
  // The encoder keeps the filtered rows (a filter byte and the row each) and the compressed
  // stream in int-sized buffers.
  const uint64_t filtered = (static_cast<uint64_t>(width) * channels + 1) * height;
  if (filtered > static_cast<uint64_t>(INT_MAX)) return false;
  return compressBound(static_cast<uLong>(filtered)) + kPngOverhead <= INT_MAX;
}

ResultCode encodePng(const DibView& picture, std::vector<uint8_t>& png) {
  png.clear();
  EncodedPng encoded;
  int bytes = 0;
  ResultCode result = encode(picture, encoded, bytes);
  if (result != ResultCode::Success) return result;
  png.assign(encoded.get(), encoded.get() + bytes);
  return ResultCode::Success;
}

ResultCode writePngFile(const char* path, const DibView& picture) {
  EncodedPng encoded;
  int bytes = 0;
  ResultCode result = encode(picture, encoded, bytes);
  if (result != ResultCode::Success) return result;
  OutputFile out;
  if (!out.create(path) || !out.write(encoded.get(), static_cast<uint64_t>(bytes)) ||
      !out.commit()) {
    return ResultCode::WriteError;
  }
  return ResultCode::Success;
}

}  // namespace quorvel
