#include "pack/png_reader.h"

#include <spng.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "decoders/dib.h"

namespace quorvel {

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
// Deflate's best ratio is a little over 1032 to 1; the slack covers the tiny pictures whose
// zlib framing outweighs their pixels.
constexpr uint64_t kMostInflation = 1040;
constexpr uint64_t kInflationSlack = 4096;

struct ContextDeleter {
  void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};
using Context = std::unique_ptr<spng_ctx, ContextDeleter>;

bool fail(std::string& problem, const char* text) {
  problem = text;
  return false;
}

uint32_t loadU32BigEndian(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

// What a walk over the chunks finds: the bytes of compressed data in the IDAT chunks that lie
// inside the file, and whether the walk reaches a whole IEND chunk (the decoder stops at IEND's
// type and never looks at its checksum, so a file cut there would pass).
struct ChunkWalk {
  uint64_t compressed = 0;
  bool ended = false;
};

ChunkWalk walkChunks(const uint8_t* file, size_t size) {
  static constexpr uint8_t kEnd[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
  ChunkWalk walk;
  for (size_t at = 8; at + 8 <= size;) {
    const uint64_t length = loadU32BigEndian(file + at);
    if (length + 4 > size - at - 8) break;
    if (std::memcmp(file + at + 4, "IDAT", 4) == 0) walk.compressed += length;
    if (std::memcmp(file + at + 4, "IEND", 4) == 0) {
      walk.ended = std::memcmp(file + at, kEnd, sizeof kEnd) == 0;
      break;
    }
    at += 8 + static_cast<size_t>(length) + 4;
  }
  return walk;
}

// Whether the compressed data can hold the filtered rows the header announces (one filter byte
// and the packed samples per row; an interlaced picture takes a little more, which the slack
// covers): a header that lies about its size is refused before its pixels are allocated.
bool dataCanFill(const spng_ihdr& header, const ChunkWalk& walk) {
  const unsigned type = header.color_type;
  const uint64_t samples = type == 2 ? 3 : type == 4 ? 2 : type == 6 ? 4 : 1;
  const uint64_t rowBytes = 1 + (uint64_t{header.width} * samples * header.bit_depth + 7) / 8;
  return rowBytes * header.height <= walk.compressed * kMostInflation + kInflationSlack;
}

bool failWith(std::string& problem, int error) {
  problem = std::string("damaged or unsupported PNG (") + spng_strerror(error) + ")";
  return false;
}

// A decoder for the file in memory that refuses every bad checksum and any chunk larger than
// the file itself.
Context openPng(const uint8_t* file, size_t size) {
  Context context(spng_ctx_new(0));
  if (!context) return context;
  spng_ctx* c = context.get();
  if (spng_set_crc_action(c, SPNG_CRC_ERROR, SPNG_CRC_ERROR) != 0 ||
      spng_set_image_limits(c, kMaxDimension, kMaxDimension) != 0 ||
      spng_set_chunk_limits(c, size, size) != 0 || spng_set_png_buffer(c, file, size) != 0) {
    context.reset();
  }
  return context;
}

// Colour pictures: the decoder's 8-bit red, green, blue and alpha, transparency applied.
int decodeColours(spng_ctx* context, std::vector<uint8_t>& pixels) {
  size_t bytes = 0;
  int error = spng_decoded_image_size(context, SPNG_FMT_RGBA8, &bytes);
  if (error != 0) return error;
  pixels.resize(bytes);
  return spng_decode_image(context, pixels.data(), bytes, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS);
}

// Palette pictures: the decoder gives a colour for an index past the palette instead of
// refusing it, so the indices are decoded as they are stored and looked up here.
bool decodeIndexed(spng_ctx* context, const spng_ihdr& header, std::vector<uint8_t>& pixels,
                   std::string& problem, int& error) {
  size_t bytes = 0;
  error = spng_decoded_image_size(context, SPNG_FMT_PNG, &bytes);
  std::vector<uint8_t> packed(error == 0 ? bytes : 0);
  if (error == 0) error = spng_decode_image(context, packed.data(), bytes, SPNG_FMT_PNG, 0);
  spng_plte palette{};
  if (error == 0) error = spng_get_plte(context, &palette);
  if (error != 0) return false;
  spng_trns transparency{};
  if (spng_get_trns(context, &transparency) != 0) transparency.n_type3_entries = 0;
  const unsigned depth = header.bit_depth;
  const size_t width = header.width;
  const size_t stride = (width * depth + 7) / 8;
  pixels.resize(4 * width * header.height);
  uint8_t* out = pixels.data();
  for (size_t y = 0; y < header.height; ++y) {
    const uint8_t* row = packed.data() + y * stride;
    for (size_t x = 0; x < width; ++x, out += 4) {
      const size_t bit = x * depth;
      const unsigned index = (row[bit / 8] >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
      if (index >= palette.n_entries) {
        return fail(problem, "damaged: a palette index past the end of its palette");
      }
      const spng_plte_entry& colour = palette.entries[index];
      out[0] = colour.red;
      out[1] = colour.green;
      out[2] = colour.blue;
      out[3] = index < transparency.n_type3_entries ? transparency.type3_alpha[index] : 255;
    }
  }
  return true;
}

}  // namespace

bool readPng(const uint8_t* file, size_t size, Raster& out, std::string& problem) {
  if (size < sizeof kSignature || std::memcmp(file, kSignature, sizeof kSignature) != 0) {
    return fail(problem, "not a PNG file");
  }
  Context context = openPng(file, size);
  if (!context) return fail(problem, "not enough memory to read it");
  spng_ihdr header{};
  int error = spng_get_ihdr(context.get(), &header);
  if (error == SPNG_EWIDTH || error == SPNG_EHEIGHT || error == SPNG_EUSER_WIDTH ||
      error == SPNG_EUSER_HEIGHT) {
    return fail(problem, "width or height outside 1 to 16777215");
  }
  if (error != 0) return failWith(problem, error);
  if (!dibSizeAcceptable(header.width, header.height, 32)) {
    return fail(problem, "too large for a picture file (4 GiB at most)");
  }
  const ChunkWalk walk = walkChunks(file, size);
  if (!dataCanFill(header, walk)) {
    return fail(problem, "damaged: its pixels cannot come out of so little compressed data");
  }
  Raster raster;
  raster.width = header.width;
  raster.height = header.height;
  raster.bitsPerPixel = 32;
  if (header.color_type == SPNG_COLOR_TYPE_INDEXED) {
    if (!decodeIndexed(context.get(), header, raster.pixels, problem, error) && error == 0) {
      return false;
    }
  } else {
    error = decodeColours(context.get(), raster.pixels);
  }
  // Everything behind the pixels too, up to IEND: a file damaged there is damaged.
  if (error == 0) error = spng_decode_chunks(context.get());
  if (error != 0) return failWith(problem, error);
  if (!walk.ended) return fail(problem, "damaged: the file ends before a whole IEND chunk");
  // Red, green, blue, alpha to blue, green, red, alpha.
  for (size_t i = 0; i < raster.pixels.size(); i += 4) {
    std::swap(raster.pixels[i], raster.pixels[i + 2]);
  }
  out = std::move(raster);
  return true;
}

}  // namespace quorvel
