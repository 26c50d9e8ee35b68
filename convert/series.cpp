#include "convert/series.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "convert/picture_writer.h"
#include "convert/tiled_bands.h"
#include "decoders/bytes.h"
#include "decoders/dib.h"
#include "decoders/tiled_family.h"
#include "decoders/tiled_picture_decoder.h"
#include "platform/file_handle.h"
#include "platform/paths.h"
#include "platform/system.h"

namespace quorvel {

namespace {

constexpr uint32_t kHeaderBytes = 32;

// A zero-filled byte buffer that reports a failed allocation instead of throwing.
struct Buffer {
  std::unique_ptr<uint8_t[]> bytes;
  size_t size = 0;

  bool allocate(size_t count) {
    bytes.reset(new (std::nothrow) uint8_t[count == 0 ? 1 : count]());
    size = bytes ? count : 0;
    return bytes != nullptr;
  }
};

ResultCode readSource(const char* sourcePath, Buffer& buffer) {
  FileHandle file;
  // Delete sharing: the source may be an archive member's temporary file, which an interrupt
  // removes while it is open.
  if (!file.openRead(sourcePath, kFileShareRead | kFileShareDelete)) return ResultCode::ReadError;
  uint8_t header[kHeaderBytes];
  size_t done = 0;
  if (!file.read(header, kHeaderBytes, done) || done != kHeaderBytes) return ResultCode::ReadError;
  uint64_t size = 0;
  if (!file.size(size) || size < kHeaderBytes) return ResultCode::ReadError;
  if (size > SIZE_MAX || !buffer.allocate(static_cast<size_t>(size))) {
    return ResultCode::OutOfMemory;
  }
  std::memcpy(buffer.bytes.get(), header, kHeaderBytes);
  const size_t rest = buffer.size - kHeaderBytes;
  if (!file.read(buffer.bytes.get() + kHeaderBytes, rest, done) || done != rest) {
    return ResultCode::ReadError;
  }
  return ResultCode::Success;
}

// The info header every image of the series shares: one image, no colour table.
BitmapInfoHeader seriesInfoHeader(const TiledLayout& layout, int pixelBytes, size_t imageBytes) {
  BitmapInfoHeader header{};
  header.biSize = kInfoHeaderBytes;
  header.biWidth = static_cast<int32_t>(layout.width);
  header.biHeight = static_cast<int32_t>(layout.height);
  header.biPlanes = 1;
  header.biBitCount = static_cast<uint16_t>(pixelBytes * 8);
  header.biSizeImage = static_cast<uint32_t>(imageBytes);
  return header;
}

// The name stem: the base path, or with subfolders the folder of that name (created here) and the
// source's file name without its extension inside it. False when the base path does not fit a
// path buffer (the files would land under a truncated name).
bool formStem(const char* basePath, const char* sourcePath, bool keepSubfolders,
              std::string& stem) {
  if (!pathFits(basePath)) return false;
  // Room for the base path, a separator and the source name: nothing here is truncated; the
  // finished names are checked against kPathCapacity.
  std::vector<char> buffer(2 * kPathBufferBytes + 2, '\0');
  copyTruncated(buffer.data(), basePath, buffer.size());
  if (keepSubfolders) {
    // An existing folder is fine; one that cannot be made shows at the first file.
    createDirectory(buffer.data());
    pathAppend(buffer.data(), pathFileName(sourcePath), buffer.size());
    pathStripExtension(buffer.data());
  }
  stem = buffer.data();
  return true;
}

// The file name of image number: the stem, its number suffix and the writer's extension; false
// when it does not fit a path.
bool imageName(const std::string& stem, int number, const PictureWriter& writer,
               std::string& name) {
  name = stem + seriesNumberSuffix(number);
  return appendExtension(name, writer);
}

ResultCode writeImage(const std::string& stem, int number, const PictureWriter& writer,
                      const DibView& picture) {
  std::string name;
  if (!imageName(stem, number, writer, name)) return ResultCode::WriteError;
  return writer.write(name.c_str(), picture);
}

// The series as BMP files, each image read from the file and written one band of tile rows at a
// time: neither the file nor an image is ever whole in memory.
// An archive member's temporary file (options.temporarySource) is read whole and closed first.
ResultCode convertSeriesInBands(TiledFamily family, const char* basePath, const char* sourcePath,
                                const ConversionOptions& options) {
  FileHandle file;
  Buffer whole;
  TiledSource source;
  std::vector<uint8_t> colours;
  ResultCode result = ResultCode::Success;
  if (options.temporarySource) {
    result = readSource(sourcePath, whole);
    if (result != ResultCode::Success) return result;
    result = openTiledSource(ByteView(whole.bytes.get(), whole.size), family, source);
  } else {
    uint64_t size = 0;
    if (!file.openRead(sourcePath, kFileShareRead | kFileShareDelete) || !file.size(size) ||
        size < kHeaderBytes) {
      return ResultCode::ReadError;
    }
    result = openTiledSource(file, family, source, colours);
  }
  if (result == ResultCode::ReadError) return result;
  const int64_t imageCount = source.layout.imageCount;
  const int bitCount = options.decode.blend ? 24 : 32;
  if (imageCount > 0 && (result != ResultCode::Success ||
                         !dibSizeAcceptable(source.layout.width, source.layout.height, bitCount))) {
    return ResultCode::UnknownFormat;
  }

  std::string stem;
  if (!formStem(basePath, sourcePath, options.keepSubfolders, stem)) return ResultCode::WriteError;
  options.progress.print("\n");
  const PictureWriter writer = pictureWriterFor(options);
  const TiledStyle style{options.decode.blend, options.decode.background};
  uint64_t position = source.layout.firstIndex;
  BandWorkspace workspace;
  for (int i = 0; i < imageCount; ++i) {
    options.progress.print("\r\t" + std::to_string(i) + kTextItemsDone);
    std::string name;
    if (!imageName(stem, i, writer, name)) return ResultCode::WriteError;
    result =
        writeTiledImageInBands(name.c_str(), source, style, position, options.workers, &workspace);
    if (result != ResultCode::Success) return result;
  }
  return ResultCode::Success;
}

ResultCode convertSeries(TiledFamily family, const char* basePath, const char* sourcePath,
                         const ConversionOptions& options) {
  if (options.pictureFormat == PictureFormat::Bmp) {
    return convertSeriesInBands(family, basePath, sourcePath, options);
  }
  Buffer source;
  ResultCode result = readSource(sourcePath, source);
  if (result != ResultCode::Success) return result;
  ByteView file(source.bytes.get(), source.size);
  TiledLayout layout;
  bool sound = tiledRoutines(family).readLayout(file, layout);
  const int64_t imageCount = layout.imageCount;
  const int pixelBytes = options.decode.blend ? 3 : 4;
  if (imageCount > 0 &&
      (!sound || !dibSizeAcceptable(layout.width, layout.height, pixelBytes * 8))) {
    return ResultCode::UnknownFormat;
  }

  std::string stem;
  if (!formStem(basePath, sourcePath, options.keepSubfolders, stem)) return ResultCode::WriteError;
  options.progress.print("\n");
  if (imageCount <= 0) return ResultCode::Success;

  const size_t rowBytes = static_cast<size_t>(paddedRowBytes(layout.width, pixelBytes));
  Buffer pixels;
  if (!pixels.allocate(rowBytes * static_cast<size_t>(layout.height))) {
    return ResultCode::OutOfMemory;
  }
  const BitmapInfoHeader header = seriesInfoHeader(layout, pixelBytes, pixels.size);
  const DibView picture{&header, nullptr, pixels.bytes.get(), pixels.size};
  const PictureWriter writer = pictureWriterFor(options);
  ByteView records(file.at(static_cast<size_t>(layout.records)),
                   file.size() - static_cast<size_t>(layout.records));
  const TiledRoutines& routines = tiledRoutines(family);
  const TileRenderer render = options.decode.blend ? routines.blended : routines.raw;
  const TileBand band{pixels.bytes.get(), pixels.size,   rowBytes,
                      layout.width,       layout.height, options.decode.background};

  uint64_t position = layout.firstIndex;
  // imageCount is at most 2^31 - 1 (signed 32 bits in type 0x0B, 16 bits in type 0x0C).
  for (int i = 0; i < imageCount; ++i) {
    options.progress.print("\r\t" + std::to_string(i) + kTextItemsDone);
    // Every image as if drawn into a fresh block: nothing of the previous one survives where a
    // tile row ends early, in either mode.
    if (i > 0) std::memset(pixels.bytes.get(), 0, pixels.size);
    position = render(band, records, file, position);
    if (position == kBadTiles) return ResultCode::UnknownFormat;
    result = writeImage(stem, i, writer, picture);
    if (result != ResultCode::Success) return result;
  }
  return ResultCode::Success;
}

}  // namespace

std::string seriesNumberSuffix(int number) {
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, "_%04d", number);
  return suffix;
}

ResultCode convertTiledWithColoursSeries(const char* basePath, const char* sourcePath,
                                         const ConversionOptions& options) {
  return convertSeries(TiledFamily::WithColours, basePath, sourcePath, options);
}

ResultCode convertTiledBorderedSeries(const char* basePath, const char* sourcePath,
                                      const ConversionOptions& options) {
  return convertSeries(TiledFamily::Bordered, basePath, sourcePath, options);
}

}  // namespace quorvel
