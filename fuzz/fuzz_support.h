// Shared pieces of the libFuzzer targets: the settings byte that leads every picture input, the
// check that a decoder's DIB pair agrees with its own blocks, and a private scratch folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "convert/conversion_options.h"
#include "decoders/dib.h"
#include "decoders/picture_decoder.h"

namespace quorvel::fuzz {

// Bit 0: blending; bit 1: series in a folder of their own; bits 2-4: the background's blue,
// green and red.
inline ConversionOptions optionsOfSettingsByte(uint8_t byte) {
  ConversionOptions options;
  options.decode.blend = (byte & 1) != 0;
  options.keepSubfolders = ((byte >> 1) & 1) != 0;
  options.decode.background[0] = (byte & 0x04) != 0 ? 0xFF : 0x00;
  options.decode.background[1] = (byte & 0x08) != 0 ? 0xFF : 0x00;
  options.decode.background[2] = (byte & 0x10) != 0 ? 0xFF : 0x00;
  options.decode.background[3] = 0;
  return options;
}

// Pictures whose header announces more pixels than this are legal (a BMP may reach 4 GiB) but
// are not decoded by the targets: filling gigabytes is slow and would trip the malloc limit
// (-malloc_limit_mb=2048) without any fault. The end-to-end test converts such pictures; here
// an allocation above the limit therefore always comes from something else than the picture's
// own size, and is a finding.
constexpr int64_t kLargePixels = int64_t{1} << 24;

inline bool isLarge(const PictureInfo& info) {
  return std::llabs(static_cast<int64_t>(info.width) * info.height) > kLargePixels;
}

// A finding that is not a memory error: stop with a clear message so libFuzzer keeps the input.
[[noreturn]] inline void fail(const char* what) {
  std::fprintf(stderr, "fuzz finding: %s\n", what);
  std::abort();
}

// After a successful getPicture the bitmap must describe itself truthfully: a 40-byte header (and
// 256 colours at 8 bits) in the info block, and a bits block holding every row it announces.
// Every byte of both blocks is read, so that ASan sees any block shorter than announced.
inline void checkDibPair(const DecodedBitmap& bitmap) {
  if (bitmap.info == nullptr || bitmap.pixels == nullptr) fail("Success without both blocks");
  const BitmapInfoHeader* info = bitmap.header();
  const uint8_t* bits = bitmap.pixels.get();
  size_t infoBytes = bitmap.infoBytes;
  if (infoBytes < kInfoHeaderBytes || info->biSize != kInfoHeaderBytes) fail("bad info header");
  if (info->biBitCount < 16 && infoBytes < kPaletteInfoBytes) fail("8-bit without colours");
  if (info->biWidth < 1 || info->biHeight < 1) fail("non-positive dimensions");
  if (info->biBitCount != 8 && info->biBitCount != 16 && info->biBitCount != 24 &&
      info->biBitCount != 32) {
    fail("unexpected bit count");
  }
  uint64_t row = paddedRowBytes(info->biWidth, info->biBitCount / 8);
  uint64_t image = row * static_cast<uint64_t>(info->biHeight);
  if (image > bitmap.pixelBytes) fail("bits block shorter than its rows");
  if (info->biSizeImage != image) fail("biSizeImage disagrees with the rows");
  volatile uint8_t sink = 0;
  const auto* infoBytesPtr = reinterpret_cast<const uint8_t*>(info);
  for (size_t i = 0; i < infoBytes; ++i) sink = sink ^ infoBytesPtr[i];
  for (uint64_t i = 0; i < image; i += 61) sink = sink ^ bits[i];
  if (image > 0) sink = sink ^ bits[image - 1];
  (void)sink;
}

// getPictureInfo must have told the bit depth of the bitmap that getPicture made. Leaves the
// block to checkDibPair, which checks the rest (a missing or short block included).
inline void checkReportedDepth(const DecodedBitmap& bitmap, int reportedDepth) {
  if (bitmap.empty() || bitmap.infoBytes < kInfoHeaderBytes) return;
  if (bitmap.header()->biBitCount != reportedDepth) fail("getPictureInfo told another depth");
}

// One getPicture call on hostile bytes: the first input byte is the settings byte, the rest is
// the file. With `infoDepthExact`, a successful getPicture must have made a bitmap of the depth
// that getPictureInfo told.
template <typename Decoder>
int fuzzDecoder(const uint8_t* data, size_t size, bool infoDepthExact = false) {
  if (size < 1) return 0;
  const DecodeOptions options = optionsOfSettingsByte(data[0]).decode;
  // The file in a block of its own size, so that ASan catches any read past its end.
  size_t length = size - 1;
  auto* file = static_cast<uint8_t*>(std::malloc(length == 0 ? 1 : length));
  if (length > 0) std::memcpy(file, data + 1, length);
  Decoder decoder;
  PictureInfo info{};
  bool infoRead = decoder.getPictureInfo(file, static_cast<uint32_t>(length), options, &info) ==
                  ResultCode::Success;
  if (infoRead && isLarge(info)) {
    std::free(file);
    return 0;
  }
  DecodedBitmap bitmap;
  ResultCode result = decoder.getPicture(file, static_cast<uint32_t>(length), options, bitmap);
  if (result == ResultCode::Success) {
    if (infoDepthExact) checkReportedDepth(bitmap, infoRead ? info.bitDepth : -1);
    checkDibPair(bitmap);
  } else if (bitmap.info != nullptr || bitmap.pixels != nullptr) {
    fail("a failed decode handed out a block");
  }
  std::free(file);
  return 0;
}

// A private folder for the files a target writes, made once per process.
inline const std::filesystem::path& scratchFolder() {
  static const std::filesystem::path folder = [] {
    std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0;; ++attempt) {
      std::filesystem::path candidate =
          base / ("quorvel-fuzz-" + std::to_string(std::rand()) + "-" + std::to_string(attempt));
      std::error_code error;
      if (std::filesystem::create_directory(candidate, error)) return candidate;
      if (attempt > 100) fail("cannot make a scratch folder");
    }
  }();
  return folder;
}

// Empties a folder, keeping the folder itself.
inline void emptyFolder(const std::filesystem::path& folder) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    std::filesystem::remove_all(entry.path(), error);
  }
}

}  // namespace quorvel::fuzz
