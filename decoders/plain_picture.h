// Plain pictures: one uncompressed picture of 8, 16 or 32 bits per pixel behind a 32-byte header,
// optionally preceded by a 32-byte prefix (type 144, with the prefix signature at offset 20).
#pragma once

#include <cstddef>
#include <cstdint>

#include "decoders/dib.h"
#include "decoders/picture_decoder.h"

namespace quorvel {

constexpr uint32_t kPxHeaderBytes = 32;
constexpr uint16_t kPxPrefixType = 144;

// The start of the picture header: 32 bytes in when the word at offset 16 is the prefix type.
// The buffer must hold at least 18 bytes.
const uint8_t* pxHeaderStart(const uint8_t* buffer);

// A plain picture checked against its file, made row by row: what getPicture writes into its bits
// block, for callers that write the rows elsewhere (a BMP file in slices). The rows are read from
// the file's buffer in place, which must outlive this.
struct PlainRows {
  int32_t width = 0;
  int32_t height = 0;
  uint16_t kind = 0;
  uint16_t depth = 0;
  int outputDepth = 0;              // 8, 16, 24 (32-bit pixels blended) or 32
  size_t outputRowBytes = 0;        // padded to 4 bytes
  uint64_t pixelsOffset = 0;        // of the top row in the file
  const uint8_t* pixels = nullptr;  // the top row, when the whole file is in memory
  size_t sourceStride = 0;
  const uint8_t* palette = nullptr;  // the file's colour table; null for a grey ramp or none
  uint32_t background = 0;           // as backgroundPixel() of the options' background
};

// The checks of getPicture, with the options given, for the whole file in memory.
// UnknownFormat for a header that no BMP can hold or that asks for more bytes than the file has.
ResultCode preparePlainRows(const uint8_t* buffer, size_t length, const DecodeOptions& options,
                            PlainRows& rows);
// The same checks from the first headLength bytes of a file of fileLength bytes (the header and
// colour table must be among them; 1088 bytes hold them in every variant). pixels stays null:
// the caller reads the rows from pixelsOffset on.
constexpr uint32_t kPlainHeadBytes = 2 * kPxHeaderBytes + 1024;
ResultCode preparePlainLayout(const uint8_t* head, size_t headLength, uint64_t fileLength,
                              const DecodeOptions& options, PlainRows& rows);
// The bytes the file must hold by the plain picture header among the first headLength bytes
// (prefix, header, colour table and pixels); 0 when the header is missing or gives no size or
// depth a BMP can hold.
uint64_t plainPictureBytes(const uint8_t* head, size_t headLength);
// The 256 colours of an 8-bit output.
void fillPlainPalette(const PlainRows& rows, RgbQuad* palette);
// Output row of picture row t (counted from the top) into outputRowBytes bytes, padding zero.
void makePlainRow(const PlainRows& rows, size_t t, uint8_t* out);
// The same from a source row read elsewhere (sourceStride bytes).
void makePlainRowFrom(const PlainRows& rows, const uint8_t* source, uint8_t* out);

class PlainPictureDecoder : public PictureDecoder {
 public:
  ResultCode getPictureInfo(const uint8_t* buffer, size_t length, const DecodeOptions& options,
                            PictureInfo* info) override;
  // UnknownFormat for a header that no BMP can hold or that asks for more bytes than the file has.
  ResultCode getPicture(const uint8_t* buffer, size_t length, const DecodeOptions& options,
                        DecodedBitmap& bitmap) override;
};

}  // namespace quorvel
