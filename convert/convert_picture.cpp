#include "convert/convert_picture.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "convert/picture_kind.h"
#include "convert/picture_need.h"
#include "convert/picture_probe.h"
#include "convert/picture_writer.h"
#include "convert/png_writer.h"
#include "convert/recorded_bmp.h"
#include "convert/series.h"
#include "convert/sliced_bmp.h"
#include "convert/tiled_bands.h"
#include "decoders/bytes.h"
#include "decoders/dib.h"
#include "decoders/layered_picture.h"
#include "decoders/plain_picture.h"
#include "decoders/run_stream_picture.h"
#include "decoders/tiled_bordered.h"
#include "decoders/tiled_picture_decoder.h"
#include "decoders/tiled_with_colours.h"
#include "platform/file_handle.h"
#include "platform/mapped_file.h"
#include "platform/owned_bytes.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/whole_file.h"

namespace quorvel {

namespace {

enum class Route { Decoder, TiledWithColoursSeries, TiledBorderedSeries, Unknown };

// One decoder of each class that a single picture may need; the caller holds them.
struct Decoders {
  PlainPictureDecoder plain;
  LayeredPictureDecoder layered;
  RunStreamPictureDecoder runStream;
  TiledWithColoursDecoder tiledWithColours;
  TiledBorderedDecoder tiled;
};

// The decoding entry beside getPicture that takes the alpha output explicitly.
using AlphaDecode = ResultCode (*)(const uint8_t* buffer, size_t length, AlphaOutput alpha,
                                   DecodedBitmap& bitmap);

// Picks the decoder by the first probe that matches; null with the route to take otherwise.
// straightDecode is the class's entry for straight alpha where its raw output is something else
// (layered and run-stream pictures); the other classes' raw output already is straight alpha.
PictureDecoder* chooseDecoder(const uint8_t* probe, Decoders& decoders, Route& route,
                              AlphaDecode& straightDecode) {
  route = Route::Decoder;
  straightDecode = nullptr;
  switch (identifyPicture(probe)) {
    case PictureKind::Plain:
      return &decoders.plain;
    case PictureKind::Layered:
      straightDecode = decodeLayeredPicture;
      return &decoders.layered;
    case PictureKind::RunStream:
      straightDecode = decodeRunStreamPicture;
      return &decoders.runStream;
    case PictureKind::TiledWithColours:
      if (!isSeries(probe)) return &decoders.tiledWithColours;
      route = Route::TiledWithColoursSeries;
      return nullptr;
    case PictureKind::Tiled:
      if (!isSeries(probe)) return &decoders.tiled;
      route = Route::TiledBorderedSeries;
      return nullptr;
    case PictureKind::Unknown:
      break;
  }
  route = Route::Unknown;
  return nullptr;
}

// The whole file in one block (the decoders read it in place); a file that shrank meanwhile
// reads as what arrived, the rest of the block zeroed. A file above 4 GiB is refused rather than
// read: the kinds read whole hold at most the pixel limit's bitmap and a few bytes per run, so a
// file that large is a damaged one, and reading it would only spend memory.
ResultCode readWholeFile(FileHandle& file, OwnedBytes& block, size_t& length) {
  uint64_t size = 0;
  if (!file.size(size)) return ResultCode::ReadError;
  if (size > UINT32_MAX) return ResultCode::UnknownFormat;
  const auto bytes = static_cast<size_t>(size);
  block = allocateBytes(bytes, ByteFill::Unset);
  if (block == nullptr) return ResultCode::OutOfMemory;
  size_t done = 0;
  if (!file.seek(0, SeekFrom::Start) || !file.read(block.get(), bytes, done)) {
    return ResultCode::ReadError;
  }
  if (done < bytes) std::memset(block.get() + done, 0, bytes - done);
  length = done;
  return ResultCode::Success;
}

// The bitmap of a picture read whole. A decoder's working buffers (beside the bitmap, whose
// allocation it reports itself) may run out of memory too: reported, not thrown.
ResultCode decodeBitmap(const uint8_t* bytes, size_t length, PictureDecoder& decoder,
                        AlphaDecode straightDecode, const ConversionOptions& options,
                        DecodedBitmap& bitmap) {
  // A PNG of a picture with alpha carries it straight when the raw switch keeps it.
  const bool straight = options.pictureFormat == PictureFormat::Png && !options.decode.blend;
  try {
    return straight && straightDecode != nullptr
               ? straightDecode(bytes, length, AlphaOutput::Straight, bitmap)
               : decoder.getPicture(bytes, length, options.decode, bitmap);
  } catch (const std::bad_alloc&) {
    bitmap = DecodedBitmap{};
    return ResultCode::OutOfMemory;
  }
}

ResultCode writeDib(const char* basePath, const DecodedBitmap& bitmap,
                    const PictureWriter& writer) {
  const BitmapInfoHeader* info = bitmap.header();
  if (info == nullptr || bitmap.pixels == nullptr) return ResultCode::OutOfMemory;
  const bool hasPalette = info->biBitCount < 16;
  size_t infoBytes = info->biSize + (hasPalette ? 1024 : 0);
  const uint64_t pixelBytes = dibImageBytes(info);
  // Our decoders always agree with their blocks; refuse rather than read past one if not.
  if (info->biSize != kInfoHeaderBytes || infoBytes > bitmap.infoBytes ||
      pixelBytes > bitmap.pixelBytes) {
    return ResultCode::UnknownFormat;
  }
  std::string name(basePath);
  if (!appendExtension(name, writer)) return ResultCode::WriteError;
  const auto* palette = hasPalette ? reinterpret_cast<const RgbQuad*>(info + 1) : nullptr;
  return writer.write(name.c_str(),
                      DibView{info, palette, bitmap.pixels.get(), static_cast<size_t>(pixelBytes)});
}

// The name of the BMP file written for basePath; false when it does not fit a path.
bool bmpPathFor(const char* basePath, std::string& name) {
  name = basePath;
  ConversionOptions bmp;
  bmp.pictureFormat = PictureFormat::Bmp;
  return appendExtension(name, pictureWriterFor(bmp));
}

// A plain picture as a BMP file: its rows read from the file a slice at a time (from the bottom
// row up, in the order of the BMP file), made and written while the next slices are read, so that
// neither the file nor the bitmap is ever whole in memory. As a PNG file the same way: each piece
// of the PNG's rows read and made by the thread that compresses it.
// From the open file, or, when it is null, from the whole file in memory (bytes).
ResultCode convertPlainInSlices(const char* basePath, FileHandle* file, ByteView bytes,
                                const ConversionOptions& options) {
  uint64_t size = bytes.size();
  if (file != nullptr && !file->size(size)) return ResultCode::ReadError;
  uint8_t head[kPlainHeadBytes] = {};
  const auto headLength = static_cast<uint32_t>(std::min<uint64_t>(size, kPlainHeadBytes));
  if (file == nullptr) {
    if (headLength > 0) std::memcpy(head, bytes.data(), headLength);
  } else if (!readAt(*file, 0, head, headLength)) {
    return ResultCode::ReadError;
  }
  PlainRows rows;
  ResultCode result = preparePlainLayout(head, headLength, size, options.decode, rows);
  if (result != ResultCode::Success) return result;

  SlicedPicture picture;
  picture.header = dibHeader(rows.width, rows.height, rows.outputDepth);
  RgbQuad palette[256];
  if (rows.outputDepth == 8) {
    fillPlainPalette(rows, palette);
    picture.palette = palette;
  }
  picture.scratchRowBytes = rows.sourceStride;
  std::mutex reading;  // one position in the file
  // Row r of the bottom-up bits block is picture row height - 1 - r, so the slice's source rows
  // lie together in the file, its top row first.
  picture.makeRows = [&](size_t first, size_t count, uint8_t* out, uint8_t* scratch) {
    const size_t height = static_cast<size_t>(rows.height);
    const size_t top = height - first - count;
    const uint64_t offset = rows.pixelsOffset + uint64_t{top} * rows.sourceStride;
    const size_t sliceBytes = count * rows.sourceStride;
    const uint8_t* sliceRows = scratch;
    if (file == nullptr) {
      if (!bytes.contains(offset, sliceBytes)) return false;
      sliceRows = bytes.at(static_cast<size_t>(offset));
    } else {
      std::lock_guard<std::mutex> lock(reading);
      if (!readAt(*file, offset, scratch, sliceBytes)) return false;
    }
    for (size_t i = 0; i < count; ++i, out += rows.outputRowBytes) {
      const size_t t = height - 1 - (first + i);
      makePlainRowFrom(rows, sliceRows + (t - top) * rows.sourceStride, out);
    }
    return true;
  };
  if (options.pictureFormat == PictureFormat::Png) {
    std::string name(basePath);
    if (!appendExtension(name, pictureWriterFor(options))) return ResultCode::WriteError;
    return writePngInSlices(name.c_str(), picture, options.workers);
  }
  std::string name;
  if (!bmpPathFor(basePath, name)) return ResultCode::WriteError;
  return writeBmpInSlices(name.c_str(), picture, options.workers);
}

// A run-stream or layered picture as a BMP file drawn a slice of rows at a time from its runs,
// found first in the file read whole; `handled` false when the runs cannot be drawn so (they move
// backwards, or indexed layers) and the whole-picture decoder must draw it.
ResultCode convertRecordedPicture(const char* basePath, ByteView bytes, PictureKind kind,
                                  const ConversionOptions& options, bool& handled) {
  handled = false;
  const AlphaOutput alpha = alphaOutputOf(options.decode);
  const size_t length = bytes.size();
  RecordedPicture picture;
  ResultCode result = kind == PictureKind::Layered
                          ? recordLayeredPicture(bytes.data(), length, alpha, picture)
                          : recordRunStreamPicture(bytes.data(), length, alpha, picture);
  if (result != ResultCode::Success || !picture.drawable) {
    handled = result != ResultCode::Success;
    return result;
  }
  handled = true;
  std::string name;
  if (!bmpPathFor(basePath, name)) return ResultCode::WriteError;
  return writeRecordedBmp(name.c_str(), picture, options.workers);
}

bool isRecorded(PictureKind kind) {
  return kind == PictureKind::Layered || kind == PictureKind::RunStream;
}

bool isTiled(PictureKind kind) {
  return kind == PictureKind::TiledWithColours || kind == PictureKind::Tiled;
}

// A single-image tiled picture as a BMP file, one band of tile rows at a time, from the open file
// or, when it is null, from the whole file in memory.
ResultCode convertTiledPicture(const char* basePath, FileHandle* file, ByteView bytes,
                               PictureKind kind, const ConversionOptions& options) {
  std::string name;
  if (!bmpPathFor(basePath, name)) return ResultCode::WriteError;
  const TiledFamily family =
      kind == PictureKind::TiledWithColours ? TiledFamily::WithColours : TiledFamily::Bordered;
  const TiledStyle style{options.decode.blend, options.decode.background};
  return file != nullptr ? convertTiledInBands(name.c_str(), *file, family, style, options.workers)
                         : convertTiledInBands(name.c_str(), bytes, family, style, options.workers);
}

// A picture over the pixel limit or the memory budget, judged from its header alone, gets its
// one error line and true: it takes no pixel memory at all.
bool refusedForSize(const uint8_t* probe, uint64_t size, const ConversionOptions& options,
                    const char* name, PictureNeed& need) {
  if (!probePictureNeed(probe, size, options, need)) return false;
  const std::string refusal = pictureRefusal(need, options.maxPixels);
  if (refusal.empty()) return false;
  writeError("quorvel: " + std::string(name) + ": " + refusal + "\n");
  return true;
}

// A single picture whose bytes are all in memory (bytes, owned by the caller; `whole`, when not
// null, holds them and is freed once the bitmap is made).
ResultCode convertWholePicture(const char* basePath, ByteView bytes, PictureKind kind,
                               PictureDecoder* decoder, AlphaDecode straightDecode,
                               const ConversionOptions& options, OwnedBytes* whole) {
  // Read whole (an archive member), a plain or tiled picture still needs no bitmap.
  if (kind == PictureKind::Plain) {
    return convertPlainInSlices(basePath, nullptr, bytes, options);
  }
  if (options.pictureFormat == PictureFormat::Bmp && isTiled(kind)) {
    return convertTiledPicture(basePath, nullptr, bytes, kind, options);
  }
  if (options.pictureFormat == PictureFormat::Bmp && isRecorded(kind)) {
    bool handled = false;
    ResultCode result = convertRecordedPicture(basePath, bytes, kind, options, handled);
    if (handled) return result;
  }

  DecodedBitmap bitmap;
  ResultCode result =
      decodeBitmap(bytes.data(), bytes.size(), *decoder, straightDecode, options, bitmap);
  if (whole != nullptr) whole->reset();
  if (result != ResultCode::Success) return result;
  return writeDib(basePath, bitmap, pictureWriterFor(options));
}

// The first bytes of a picture in memory, zero beyond its end, as a read of the file gives them.
void probeOf(ByteView bytes, uint8_t (&probe)[kProbeBytes]) {
  std::memset(probe, 0, kProbeBytes);
  if (bytes.size() > 0)
    std::memcpy(probe, bytes.data(), std::min<size_t>(bytes.size(), kProbeBytes));
}

}  // namespace

ResultCode convertPictureFile(const char* basePath, const char* sourcePath,
                              const ConversionOptions& options) {
  FileHandle file;
  // Delete sharing: the source may be an archive member's temporary file, which an interrupt
  // removes while it is open.
  if (!file.openRead(sourcePath, kFileShareRead | kFileShareDelete)) return ResultCode::ReadError;
  uint8_t probe[kProbeBytes] = {};
  size_t probed = 0;
  uint64_t fileBytes = 0;
  if (!file.read(probe, kProbeBytes, probed) || !file.size(fileBytes)) return ResultCode::ReadError;

  // Judged from the header alone: a picture over the limit takes no pixel memory at all, and
  // the memory the conversion needs is reserved from the run's budget before it starts.
  PictureNeed need;
  // An archive member's temporary file is named by the member's name alone.
  const char* name = options.temporarySource ? pathFileName(sourcePath) : sourcePath;
  if (refusedForSize(probe, fileBytes, options, name, need)) {
    return ResultCode::OutOfMemory;
  }
  MemoryReservation reservation(options.memory, need.memoryBytes);

  Route route;
  AlphaDecode straightDecode;
  Decoders decoders;
  PictureDecoder* decoder = chooseDecoder(probe, decoders, route, straightDecode);
  switch (route) {
    case Route::Unknown:
      return ResultCode::UnknownFormat;
    case Route::TiledWithColoursSeries:
      file.close();
      return convertTiledWithColoursSeries(basePath, sourcePath, options);
    case Route::TiledBorderedSeries:
      file.close();
      return convertTiledBorderedSeries(basePath, sourcePath, options);
    case Route::Decoder:
      break;
  }

  // Plain and tiled pictures need no bitmap in memory: their rows go from the file to the BMP
  // file a slice or a band at a time, and a plain picture's to the PNG file a piece at a time.
  const PictureKind kind = identifyPicture(probe);
  if (!options.temporarySource) {
    if (kind == PictureKind::Plain) return convertPlainInSlices(basePath, &file, {}, options);
    if (options.pictureFormat == PictureFormat::Bmp && isTiled(kind)) {
      return convertTiledPicture(basePath, &file, {}, kind, options);
    }
  }

  if (options.pictureFormat == PictureFormat::Bmp && isRecorded(kind)) {
    // Drawn from the file's bytes where the system keeps them, where it maps files.
    MappedFile mapped;
    if (mapped.map(file, fileBytes)) {
      bool handled = false;
      ResultCode result = convertRecordedPicture(basePath, ByteView(mapped.data(), mapped.size()),
                                                 kind, options, handled);
      if (handled) return result;
    }
  }

  OwnedBytes whole;
  size_t length = 0;
  ResultCode result = readWholeFile(file, whole, length);
  if (result != ResultCode::Success) return result;
  const uint8_t* bytes = whole.get();
  file.close();
  return convertWholePicture(basePath, ByteView(bytes, length), kind, decoder, straightDecode,
                             options, &whole);
}

bool convertsInMemory(const uint8_t* bytes, size_t size) {
  uint8_t probe[kProbeBytes];
  probeOf(ByteView(bytes, size), probe);
  Route route;
  AlphaDecode straightDecode;
  Decoders decoders;
  chooseDecoder(probe, decoders, route, straightDecode);
  return route == Route::Decoder && size <= 0xFFFFFFFFu;
}

ResultCode convertPictureBytes(const char* basePath, const char* name, const uint8_t* bytes,
                               size_t size, const ConversionOptions& options) {
  if (!convertsInMemory(bytes, size)) return ResultCode::UnknownFormat;
  const ByteView view(bytes, size);
  uint8_t probe[kProbeBytes];
  probeOf(view, probe);
  PictureNeed need;
  if (refusedForSize(probe, size, options, name, need)) {
    return ResultCode::OutOfMemory;
  }
  MemoryReservation reservation(options.memory, need.memoryBytes);
  Route route;
  AlphaDecode straightDecode;
  Decoders decoders;
  PictureDecoder* decoder = chooseDecoder(probe, decoders, route, straightDecode);
  return convertWholePicture(basePath, view, identifyPicture(probe), decoder, straightDecode,
                             options, nullptr);
}

}  // namespace quorvel
