#include "convert/convert_picture.h"

#include <mutex>
#include <string>

#include "convert/picture_kind.h"
#include "convert/picture_probe.h"
#include "convert/picture_writer.h"
#include "convert/series.h"
#include "convert/sliced_bmp.h"
#include "decoders/bytes.h"
#include "decoders/dib.h"
#include "decoders/spi_px.h"
#include "decoders/spi_px04.h"
#include "decoders/spi_px0b.h"
#include "decoders/spi_px0c.h"
#include "decoders/spi_px40.h"
#include "platform/file_handle.h"
#include "platform/paths.h"
#include "platform/whole_file.h"

namespace quorvel {

namespace {

enum class Route { Decoder, Px0BSeries, Px0CSeries, Unknown };

// One decoder of each class that a single picture may need; the caller holds them.
struct Decoders {
  SpiPX plain;
  SpiPx40 layered;
  SpiPx04 runStream;
  SpiPx0B tiledWithColours;
  SpiPx0C tiled;
};

// The decoding entry beside getPicture that takes the alpha output explicitly.
using AlphaDecode = ResultCode (*)(const uint8_t* buffer, uint32_t length, AlphaOutput alpha,
                                   MemHandle* infoOut, MemHandle* bitsOut);

// Picks the decoder by the first probe that matches; null with the route to take otherwise.
// straightDecode is the class's entry for straight alpha where its raw output is something else
// (layered and run-stream pictures); the other classes' raw output already is straight alpha.
SpiBase* chooseDecoder(const uint8_t* probe, Decoders& decoders, Route& route,
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
      if (loadU32(probe) == 1) return &decoders.tiledWithColours;
      route = Route::Px0BSeries;
      return nullptr;
    case PictureKind::Tiled:
      if (loadU16(probe) == 1) return &decoders.tiled;
      route = Route::Px0CSeries;
      return nullptr;
    case PictureKind::Unknown:
      break;
  }
  route = Route::Unknown;
  return nullptr;
}

// The whole file in one zero-filled block (the decoders read it in place).
ResultCode readWholeFile(FileHandle& file, MemoryBlock& block, const uint8_t*& bytes,
                         uint32_t& length) {
  uint32_t size = file.size(nullptr);
  if (size == 0xFFFFFFFFu) return ResultCode::ReadError;
  void* buffer = block.allocate(size, kMemFixed | kMemZeroInit);
  if (buffer == nullptr) return ResultCode::OutOfMemory;
  if (file.seek(0, kFileBegin, nullptr) == kInvalidSetFilePointer) return ResultCode::ReadError;
  if (file.read(buffer, size, &length) == 0) return ResultCode::ReadError;
  bytes = static_cast<const uint8_t*>(buffer);
  return ResultCode::Success;
}

ResultCode writeDib(const char* basePath, MemHandle infoHandle, MemHandle bitsHandle,
                    const PictureWriter& writer) {
  MemoryBlock infoBlock;
  MemoryBlock bitsBlock;
  auto* info = static_cast<const BitmapInfoHeader*>(infoBlock.attach(infoHandle));
  auto* bits = static_cast<const uint8_t*>(bitsBlock.attach(bitsHandle));
  if (info == nullptr || bits == nullptr) return ResultCode::OutOfMemory;
  const bool hasPalette = info->biBitCount < 16;
  size_t infoBytes = info->biSize + (hasPalette ? 1024 : 0);
  int64_t pixelBytes = dibImageBytes(info);
  // Our decoders always agree with their blocks; refuse rather than read past one if not.
  if (info->biSize != kInfoHeaderBytes || infoBytes > localSize(infoHandle) || pixelBytes < 0 ||
      static_cast<uint64_t>(pixelBytes) > localSize(bitsHandle)) {
    return ResultCode::UnknownFormat;
  }
  std::string name(basePath);
  if (!appendExtension(name, writer)) return ResultCode::WriteError;
  const auto* palette = hasPalette ? reinterpret_cast<const RgbQuad*>(info + 1) : nullptr;
  return writer.write(name.c_str(), DibView{info, palette, bits, static_cast<size_t>(pixelBytes)});
}

// A plain picture as a BMP file: its rows read from the file a slice at a time (from the bottom
// row up, in the order of the BMP file), made and written while the next slices are read, so that
// neither the file nor the bitmap is ever whole in memory.
ResultCode convertPlainInSlices(const char* basePath, FileHandle& file,
                                const ConversionOptions& options) {
  const uint32_t size = file.size(nullptr);
  if (size == 0xFFFFFFFFu) return ResultCode::ReadError;
  uint8_t head[kPlainHeadBytes] = {};
  uint32_t headLength = 0;
  if (file.seek(0, kFileBegin, nullptr) == kInvalidSetFilePointer ||
      file.read(head, size < kPlainHeadBytes ? size : kPlainHeadBytes, &headLength) == 0) {
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
  picture.makeRows = [&](size_t first, size_t count, uint8_t* out, uint8_t* source) {
    const size_t height = static_cast<size_t>(rows.height);
    const size_t top = height - first - count;
    const uint64_t offset = rows.pixelsOffset + uint64_t{top} * rows.sourceStride;
    const auto bytes = static_cast<uint32_t>(count * rows.sourceStride);
    {
      std::lock_guard<std::mutex> lock(reading);
      if (!readAt(file, offset, source, bytes)) return false;
    }
    for (size_t i = 0; i < count; ++i, out += rows.outputRowBytes) {
      const size_t t = height - 1 - (first + i);
      makePlainRowFrom(rows, source + (t - top) * rows.sourceStride, out);
    }
    return true;
  };
  std::string name(basePath);
  ConversionOptions bmp = options;
  bmp.pictureFormat = PictureFormat::Bmp;
  if (!appendExtension(name, pictureWriterFor(bmp))) return ResultCode::WriteError;
  return writeBmpInSlices(name.c_str(), picture, options.workers);
}

}  // namespace

ResultCode convertPictureFile(const char* basePath, const char* sourcePath,
                              const ConversionOptions& options) {
  FileHandle file;
  // Delete sharing: the source may be an archive member's temporary file, which an interrupt
  // removes while it is open.
  if (file.openRead(sourcePath, kFileShareRead | kFileShareDelete, kOpenExisting,
                    kFileAttributeNormal) == kInvalidFile) {
    return ResultCode::ReadError;
  }
  uint8_t probe[kProbeBytes] = {};
  uint32_t probed = 0;
  if (file.read(probe, kProbeBytes, &probed) == 0) return ResultCode::ReadError;

  Route route;
  AlphaDecode straightDecode;
  Decoders decoders;
  SpiBase* decoder = chooseDecoder(probe, decoders, route, straightDecode);
  switch (route) {
    case Route::Unknown:
      return ResultCode::UnknownFormat;
    case Route::Px0BSeries:
      file.close();
      return convertPx0BSeries(basePath, sourcePath, options);
    case Route::Px0CSeries:
      file.close();
      return convertPx0CSeries(basePath, sourcePath, options);
    case Route::Decoder:
      break;
  }

  // A plain picture's rows need no bitmap in memory: they go from the file to the BMP file.
  if (identifyPicture(probe) == PictureKind::Plain && options.pictureFormat == PictureFormat::Bmp &&
      !options.temporarySource) {
    return convertPlainInSlices(basePath, file, options);
  }

  MemoryBlock whole;
  const uint8_t* bytes = nullptr;
  uint32_t length = 0;
  ResultCode result = readWholeFile(file, whole, bytes, length);
  if (result != ResultCode::Success) return result;
  file.close();

  MemHandle infoHandle = nullptr;
  MemHandle bitsHandle = nullptr;
  // A PNG of a picture with alpha carries it straight when the raw switch keeps it.
  const bool straight = options.pictureFormat == PictureFormat::Png && !options.decode.blend;
  result = straight && straightDecode != nullptr
               ? straightDecode(bytes, length, AlphaOutput::Straight, &infoHandle, &bitsHandle)
               : decoder->getPicture(bytes, length, options.decode, &infoHandle, &bitsHandle);
  whole.free();
  if (result != ResultCode::Success) {
    MemoryBlock infoBlock;
    MemoryBlock bitsBlock;
    infoBlock.attach(infoHandle);
    bitsBlock.attach(bitsHandle);
    return result;
  }
  return writeDib(basePath, infoHandle, bitsHandle, pictureWriterFor(options));
}

}  // namespace quorvel
