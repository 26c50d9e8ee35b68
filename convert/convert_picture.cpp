#include "convert/convert_picture.h"

#include <new>
#include <string>

#include "convert/picture_probe.h"
#include "convert/series.h"
#include "decoders/bytes.h"
#include "decoders/dib.h"
#include "decoders/spi_px.h"
#include "decoders/spi_px04.h"
#include "decoders/spi_px0b.h"
#include "decoders/spi_px0c.h"
#include "decoders/spi_px40.h"
#include "platform/file_handle.h"
#include "platform/output_file.h"
#include "platform/paths.h"

namespace quorvel {

namespace {

enum class Route { Decoder, Px0BSeries, Px0CSeries, Unknown };

template <typename Decoder>
SpiBase* createOnHeap() {
  void* block = heapAlloc(sizeof(Decoder));
  return block == nullptr ? nullptr : new (block) Decoder();
}

// Picks the decoder class by the first probe that matches; null with the route to take
// otherwise. Allocation failure of the decoder object gives Decoder with a null result.
SpiBase* chooseDecoder(const uint8_t* probe, Route& route) {
  route = Route::Decoder;
  if (isPxHeader(probe)) return createOnHeap<SpiPX>();
  if (isPx40Header(probe)) return createOnHeap<SpiPx40>();
  if (isPx04Header(probe)) return createOnHeap<SpiPx04>();
  if (isPx0BHeader(probe)) {
    if (loadU32(probe) == 1) return createOnHeap<SpiPx0B>();
    route = Route::Px0BSeries;
    return nullptr;
  }
  if (isPx0CHeader(probe)) {
    if (loadU16(probe) == 1) return createOnHeap<SpiPx0C>();
    route = Route::Px0CSeries;
    return nullptr;
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

ResultCode writeDib(const char* basePath, MemHandle infoHandle, MemHandle bitsHandle) {
  MemoryBlock infoBlock;
  MemoryBlock bitsBlock;
  auto* info = static_cast<const BitmapInfoHeader*>(infoBlock.attach(infoHandle));
  auto* bits = static_cast<const uint8_t*>(bitsBlock.attach(bitsHandle));
  if (info == nullptr || bits == nullptr) return ResultCode::OutOfMemory;
  size_t infoBytes = info->biSize + (info->biBitCount < 16 ? 1024 : 0);
  int64_t pixelBytes = dibImageBytes(info);
  // Our decoders always agree with their blocks; refuse rather than read past one if not.
  if (infoBytes > localSize(infoHandle) || pixelBytes < 0 ||
      static_cast<uint64_t>(pixelBytes) > localSize(bitsHandle)) {
    return ResultCode::UnknownFormat;
  }
  std::string name(basePath);
  name += ".bmp";
  if (!pathFits(name.c_str())) return ResultCode::WriteError;
  return writeBmpFile(name.c_str(), reinterpret_cast<const uint8_t*>(info), infoBytes, bits,
                      static_cast<size_t>(pixelBytes));
}

}  // namespace

ResultCode writeBmpFile(const char* path, const uint8_t* infoBlock, size_t infoBlockSize,
                        const uint8_t* bits, size_t bitsSize) {
  uint8_t fileHeader[14] = {'B', 'M'};
  storeU32(fileHeader + 2, static_cast<uint32_t>(14 + infoBlockSize + bitsSize));
  storeU32(fileHeader + 10, static_cast<uint32_t>(14 + infoBlockSize));
  OutputFile out;
  if (!out.create(path) || !out.write(fileHeader, sizeof fileHeader) ||
      !out.write(infoBlock, infoBlockSize) || !out.write(bits, bitsSize) || !out.commit()) {
    return ResultCode::WriteError;
  }
  return ResultCode::Success;
}

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
  HeapOwner decoderOwner(chooseDecoder(probe, route));
  auto* decoder = static_cast<SpiBase*>(decoderOwner.get());
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
  if (decoder == nullptr) return ResultCode::OutOfMemory;

  MemoryBlock whole;
  const uint8_t* bytes = nullptr;
  uint32_t length = 0;
  ResultCode result = readWholeFile(file, whole, bytes, length);
  if (result != ResultCode::Success) return result;
  file.close();

  MemHandle infoHandle = nullptr;
  MemHandle bitsHandle = nullptr;
  result = decoder->getPicture(bytes, length, &infoHandle, &bitsHandle, nullptr, 0);
  whole.free();
  if (result != ResultCode::Success) {
    MemoryBlock infoBlock;
    MemoryBlock bitsBlock;
    infoBlock.attach(infoHandle);
    bitsBlock.attach(bitsHandle);
    return result;
  }
  return writeDib(basePath, infoHandle, bitsHandle);
}

}  // namespace quorvel
